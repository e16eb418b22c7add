// The POSIX descriptors' owner: closed when it goes.
#pragma once

#include <unistd.h>

#include "base/UniqueHandle.h"

namespace vorna {

inline void CloseDescriptor(int fd) {
    // Nothing to be done when close fails: the descriptor is gone either way.
    static_cast<void>(::close(fd));
}

using UniqueFd = UniqueHandle<int, -1, &CloseDescriptor>;

}  // namespace vorna
