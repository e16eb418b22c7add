// The one shape of result for every core call that can fail: the value, or a Problem saying
// what went wrong as a kind the caller can compare and a detail in the system's (or the
// reader's) own words. Callers decide on the kind, never on the words; the window and vornactl
// each put kinds into sentences of their own where they need to (gui/OutcomeTexts,
// cli/OutcomeWords), so one problem means the same in both.
//
// Device procedures (writing settings, restoring, the firmware updates) end in outcomes of their
// own (protocol/Outcomes.h): those say more than "worked or not" (what the device holds now,
// what to do next), and carry a Problem where one of their steps failed.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace vorna {

// What kind of thing went wrong. One set for the whole core, so that a caller two layers up
// can still tell "no such file" from "the port is busy" without reading a sentence.
enum class ProblemKind {
    // Files
    Missing,     // no such file (or a folder on its way)
    Folder,      // a folder where a file was expected
    NotRegular,  // a FIFO, device, socket or pipe where a file was expected
    TooLarge,    // over the size limit
    BadName,     // a name that cannot name a file to write (empty, ends in a separator, "..")
    ReadOnly,    // the file may not be replaced
    Unreadable,  // the system would not read it
    Unwritable,  // the system would not write it
    // Contents
    BadContent,   // read, but not what it should be (a malformed line, a wrong section)
    NothingToDo,  // read and sound, but it changes nothing (selects none of the settings)
    // Ports and the system
    NoBridge,      // no bridge is plugged in
    NoDriver,      // a bridge without a driver, so no port
    NoComPort,     // a bridge with its driver, which gave it no port
    NoDeviceList,  // the system's device list could not be read
    PortBusy,      // another program holds the port
    NoPermission,  // the user may not open the port
    CannotOpen,    // the port is there but would not open, for another reason
    CannotSetUp,   // the port opened but would not take the line settings
    System,        // any other call of the system's that failed
    NotAPort,      // what was opened as a port is no serial line (a file, a pipe)
};

// What went wrong: the kind, and the words that go with it (the system's own, or a sentence
// naming the file and the place). Two problems are the same when kind and detail are.
struct Problem {
    ProblemKind kind = ProblemKind::System;
    std::string detail;

    friend bool operator==(const Problem&, const Problem&) = default;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Problem problem) : value_(std::move(problem)) {}
    Result(ProblemKind kind, std::string detail) : value_(Problem{kind, std::move(detail)}) {}

    bool Ok() const { return std::holds_alternative<T>(value_); }
    explicit operator bool() const { return Ok(); }

    // Only when Ok().
    const T& Value() const& {
        assert(Ok());
        return std::get<T>(value_);
    }
    T& Value() & {
        assert(Ok());
        return std::get<T>(value_);
    }
    T&& Value() && {
        assert(Ok());
        return std::get<T>(std::move(value_));
    }
    const T* operator->() const { return &Value(); }
    T* operator->() { return &Value(); }
    const T& operator*() const& { return Value(); }
    T& operator*() & { return Value(); }

    // Only when not Ok().
    const Problem& Error() const {
        assert(!Ok());
        return std::get<Problem>(value_);
    }
    ProblemKind Kind() const { return Error().kind; }
    const std::string& Detail() const { return Error().detail; }

private:
    std::variant<T, Problem> value_;
};

// Done, or the problem that stopped it.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Problem problem) : problem_(std::move(problem)), ok_(false) {}
    Result(ProblemKind kind, std::string detail) : problem_{kind, std::move(detail)}, ok_(false) {}

    bool Ok() const { return ok_; }
    explicit operator bool() const { return ok_; }

    // Only when not Ok().
    const Problem& Error() const {
        assert(!ok_);
        return problem_;
    }
    ProblemKind Kind() const { return Error().kind; }
    const std::string& Detail() const { return Error().detail; }

private:
    Problem problem_;
    bool ok_ = true;
};

using Status = Result<void>;

}  // namespace vorna
