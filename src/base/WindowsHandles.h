// Owners for Windows' handles: closed when they go. A file or port says "none" with
// INVALID_HANDLE_VALUE, an event, a mutex and a registry key with a null handle.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace vorna {

inline void CloseWindowsHandle(HANDLE handle) {
    ::CloseHandle(handle);
}
inline void CloseRegistryKey(HKEY key) {
    ::RegCloseKey(key);
}

// What CreateFile gives: INVALID_HANDLE_VALUE for none.
using UniqueFileHandle = UniqueHandle<HANDLE, -1, &CloseWindowsHandle>;
// An event, a mutex: null for none.
using UniqueObjectHandle = UniqueHandle<HANDLE, 0, &CloseWindowsHandle>;
using UniqueRegistryKey = UniqueHandle<HKEY, 0, &CloseRegistryKey>;

}  // namespace vorna
