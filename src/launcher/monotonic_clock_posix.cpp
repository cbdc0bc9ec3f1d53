#include "launcher/monotonic_clock.h"

#include <chrono>
#include <thread>

namespace zorv {

std::uint64_t MonotonicMicroseconds() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

void PauseMilliseconds(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace zorv
