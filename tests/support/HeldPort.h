// A port held by another process, as a terminal program holds it: a forked child opens the
// node under a process name of the test's choosing, optionally with an advisory lock and the
// terminal's exclusive mode, and keeps it until the object goes.
#pragma once

#include <string>

#include <sys/types.h>

namespace vorna::test {

class HeldPort {
public:
    struct How {
        bool lock = true;       // flock(LOCK_EX), as this program and picocom take it
        bool exclusive = true;  // TIOCEXCL
    };
    // `name`: the child's process name (comm, at most 15 characters).
    HeldPort(const std::string& path, const std::string& name, How how);
    HeldPort(const std::string& path, const std::string& name) : HeldPort(path, name, How{}) {}
    ~HeldPort();
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    // The child has the node open (and locked, when asked) and waits.
    bool Holding() const { return holding_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool holding_ = false;
};

}  // namespace vorna::test
