#include "launcher/monotonic_clock.h"

#include "launcher/win32_api.h"

namespace zorv {

std::uint64_t MonotonicMicroseconds() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    // In two steps, so that a counter of many days does not overflow the product.
    const std::uint64_t ticks = static_cast<std::uint64_t>(count.QuadPart);
    const std::uint64_t perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

void PauseMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace zorv
