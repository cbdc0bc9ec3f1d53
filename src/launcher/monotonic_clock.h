// A monotonic clock and a pause, straight from the system: the C++ library's
// versions bring its exception support and a thread library into the Windows
// executable.
#pragma once

#include <cstdint>

namespace zorv {

// Microseconds since an arbitrary moment, never going back.
std::uint64_t MonotonicMicroseconds();
void PauseMilliseconds(std::uint32_t milliseconds);

}  // namespace zorv
