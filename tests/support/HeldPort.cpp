#include "support/HeldPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorna::test {

HeldPort::HeldPort(const std::string& path, const std::string& name, How how) {
    int ready[2] = {-1, -1};
    int release[2] = {-1, -1};
    if (::pipe(ready) != 0) return;
    if (::pipe(release) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    const char* node = path.c_str();
    const char* comm = name.c_str();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The test may run threads (simulated devices): only system calls from here on. The
        // descriptors inherited from the test (a device's terminal among them) are let go, so
        // that the child holds nothing but the node it opens.
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != ready[1] && fd != release[0]) ::close(fd);
        }
        ::prctl(PR_SET_NAME, comm, 0, 0, 0);
        char answer = 'y';
        const int port = ::open(node, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (port < 0) {
            answer = 'o';
        } else if (how.lock && ::flock(port, LOCK_EX | LOCK_NB) != 0) {
            answer = 'l';
        } else if (how.exclusive && ::ioctl(port, TIOCEXCL) != 0) {
            answer = 'x';
        }
        static_cast<void>(::write(ready[1], &answer, 1));
        char end = 0;
        while (::read(release[0], &end, 1) > 0) {
        }
        // As this program does on closing: whoever keeps the terminal open after us is not
        // left locked out.
        if (port >= 0) ::ioctl(port, TIOCNXCL);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    if (pid_ < 0) {
        ::close(ready[0]);
        return;
    }
    char answer = 0;
    pollfd pfd{ready[0], POLLIN, 0};
    if (::poll(&pfd, 1, 10000) == 1 && ::read(ready[0], &answer, 1) == 1) holding_ = answer == 'y';
    ::close(ready[0]);
}

HeldPort::~HeldPort() {
    if (release_ >= 0) ::close(release_);
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

}  // namespace vorna::test
