#include "base/LocalTime.h"

namespace vorna {

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) return std::tm{};
    return local;
}

}  // namespace vorna
