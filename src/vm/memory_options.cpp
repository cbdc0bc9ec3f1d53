#include "vm/memory_options.h"

#include "launcher/text.h"

namespace zorv {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

SizeNumbers ScanSizeNumbers(const std::wstring& text) {
    SizeNumbers result;
    const std::size_t n = text.size();
    std::size_t start = 0;
    while (start < n && !IsDigit(text[start]) && text[start] != L':') ++start;
    result.prefixLength = start;
    if (start == n) return result;
    // The last character is the unit letter, unless it is a digit.
    std::size_t end = IsDigit(text[n - 1]) ? n : n - 1;
    result.numbers.push_back(0);
    for (std::size_t i = start; i < end; ++i) {
        if (IsDigit(text[i])) {
            result.numbers.back() = result.numbers.back() * 10 + static_cast<std::uint64_t>(text[i] - L'0');
        } else if (text[i] == L':') {
            result.numbers.push_back(0);
        }
    }
    return result;
}

bool IsPercentMemoryOption(const std::wstring& option) {
    if (!StartsWith(option, L"-Xms") && !StartsWith(option, L"-Xmx") && !StartsWith(option, L"-Xss")) return false;
    wchar_t last = option.back();
    return last == L'P' || last == L'p' || last == L'T' || last == L't';
}

void RewritePercentMemoryOption(std::wstring& option, const MemoryStatus& memory) {
    SizeNumbers scan = ScanSizeNumbers(option);
    auto number = [&](std::size_t i) { return i < scan.numbers.size() ? scan.numbers[i] : 0; };
    std::uint64_t percent = number(0);
    std::uint64_t minimum = number(1);
    std::uint64_t maximum = number(2);
    wchar_t last = option.back();
    std::uint64_t base = (last == L'P' || last == L'p') ? memory.totalPhysical : memory.availableVirtual;
    double kilobytes = static_cast<double>(base >> 10) * (static_cast<double>(percent) / 100.0);
    // A share far beyond the address space saturates instead of wrapping.
    std::uint64_t size = kilobytes >= 18446744073709551615.0 ? UINT64_MAX : static_cast<std::uint64_t>(kilobytes);
    if (maximum != 0 && maximum * 1024 < size) size = maximum * 1024;
    if (minimum * 1024 > size) size = minimum * 1024;
    // The full unsigned value: sizes of 2 TiB and more must not turn negative.
    option = option.substr(0, scan.prefixLength) + DecimalText(size) + L"K";
}

std::uint64_t StackSizeFromOption(const std::wstring& option) {
    if (option.size() <= 4) return 0;
    std::wstring value = option.substr(4);
    SizeNumbers scan = ScanSizeNumbers(value);
    if (scan.prefixLength != 0 || scan.numbers.size() != 1) return 0;
    std::uint64_t multiplier = 1;
    switch (value.back()) {
        case L'G': case L'g': multiplier = 1073741824; break;
        case L'K': case L'k': multiplier = 1024; break;
        case L'M': case L'm': multiplier = 1048576; break;
        default: break;
    }
    // A size beyond what 64 bits hold asks for more than any system gives.
    if (scan.numbers[0] > UINT64_MAX / multiplier) return UINT64_MAX;
    return scan.numbers[0] * multiplier;
}

}  // namespace zorv
