// Heap sizes given as a share of the machine's memory, and the stack size
// that the VM thread takes from "-Xss".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/platform.h"

namespace zorv {

struct SizeNumbers {
    std::size_t prefixLength = 0;
    std::vector<std::uint64_t> numbers;
};

SizeNumbers ScanSizeNumbers(const std::wstring& text);
// "-Xms", "-Xmx" or "-Xss" ending in P, p (physical memory) or T, t (free address space).
bool IsPercentMemoryOption(const std::wstring& option);
void RewritePercentMemoryOption(std::wstring& option, const MemoryStatus& memory);
// The VM thread's stack size in bytes for a "-Xss" option; 0 when unparsable.
std::uint64_t StackSizeFromOption(const std::wstring& option);

}  // namespace zorv
