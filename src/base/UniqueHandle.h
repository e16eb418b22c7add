// One owner for a handle of the system's: a descriptor, a Windows HANDLE, a registry key, a
// device list. It closes what it holds when it goes, so no path out of a function has to, and it
// moves but does not copy. `None` is the value that holds nothing (-1 for a descriptor and for
// INVALID_HANDLE_VALUE, 0 for a null handle), as a number so that pointer handles can name it
// too; `Close` is the call that gives the handle back.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace vorna {

template <typename Handle, std::intptr_t None, auto Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    static Handle NoneValue() {
        if constexpr (std::is_pointer_v<Handle>) {
            return reinterpret_cast<Handle>(None);
        } else {
            return static_cast<Handle>(None);
        }
    }

    bool Valid() const { return handle_ != NoneValue(); }
    explicit operator bool() const { return Valid(); }
    Handle Get() const { return handle_; }
    // Where a call that opens a handle writes it (the old one is closed first).
    Handle* Receive() {
        Reset();
        return &handle_;
    }

    // Gives the handle up without closing it.
    Handle Release() { return std::exchange(handle_, NoneValue()); }
    // Closes what is held, and holds `handle` instead.
    void Reset(Handle handle = NoneValue()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != NoneValue()) Close(old);
    }

private:
    Handle handle_ = NoneValue();
};

}  // namespace vorna
