#include "launcher/trace.h"

#include "launcher/monotonic_clock.h"
#include "launcher/text.h"

namespace zorv {

std::uint64_t Trace::SteadyMicroseconds() { return MonotonicMicroseconds(); }

Trace::Trace(std::unique_ptr<TraceSink> sink, Clock clock)
    : sink_(std::move(sink)), clock_(clock), origin_(clock()) {}

std::uint64_t Trace::Elapsed() const {
    std::uint64_t now = clock_();
    return now > origin_ ? now - origin_ : 0;
}

void Trace::Line(const std::wstring& text) {
    if (sink_ == nullptr) return;
    // Right-aligned, so that a column of lines reads as a time line.
    std::wstring milliseconds = DecimalText(Elapsed() / 1000);
    std::wstring line = L"[";
    if (milliseconds.size() < 5) line.append(5 - milliseconds.size(), L' ');
    line += milliseconds;
    line += L" ms] ";
    line += text;
    sink_->Write(line);
}

void Trace::StageTook(const wchar_t* name, std::uint64_t started) {
    std::uint64_t now = Elapsed();
    Line(std::wstring(L"stage ") + name + L" took " + MillisecondsText(now > started ? now - started : 0) + L" ms");
}

std::wstring MillisecondsText(std::uint64_t microseconds) {
    std::uint64_t tenths = (microseconds + 50) / 100;
    return DecimalText(tenths / 10) + L"." + DecimalText(tenths % 10);
}

std::wstring HexText(std::uint32_t value, int digits) {
    const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
    return text;
}

}  // namespace zorv
