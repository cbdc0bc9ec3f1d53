// The launcher's trace: what a start read, tried, skipped and chose, line by
// line, for the person who asks why it went the way it did. It exists only
// when ZORV_LAUNCHER_DEBUG asks for it; everywhere else it is a null pointer
// (Platform::trace), so a normal start spends one test per report on it and
// neither formats nor allocates anything.
//
// The main thread writes it, and the VM thread while the main thread waits
// for it; no two threads write at once, so it takes no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zorv {

// Where the lines go. A sink that cannot write drops them: the trace must
// never change what the launcher does.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    // One line without its line break.
    virtual void Write(const std::wstring& line) = 0;
};

class Trace {
public:
    // Microseconds of a monotonic clock; the trace counts from its first reading.
    using Clock = std::uint64_t (*)();
    static std::uint64_t SteadyMicroseconds();

    explicit Trace(std::unique_ptr<TraceSink> sink, Clock clock = SteadyMicroseconds);

    // "[   12 ms] " followed by the text.
    void Line(const std::wstring& text);
    // Microseconds since the trace began.
    std::uint64_t Elapsed() const;
    // "stage <name> took 1.2 ms", for a stage begun at `started` (an Elapsed value).
    void StageTook(const wchar_t* name, std::uint64_t started);

private:
    std::unique_ptr<TraceSink> sink_;
    Clock clock_;
    std::uint64_t origin_;
};

// Reports the time from its construction to its end as one stage; does
// nothing at all without a trace.
class TraceStage {
public:
    TraceStage(Trace* trace, const wchar_t* name)
        : trace_(trace), name_(name), started_(trace != nullptr ? trace->Elapsed() : 0) {}
    TraceStage(const TraceStage&) = delete;
    TraceStage& operator=(const TraceStage&) = delete;
    ~TraceStage() {
        if (trace_ != nullptr) trace_->StageTook(name_, started_);
    }

private:
    Trace* trace_;
    const wchar_t* name_;
    std::uint64_t started_;
};

// The trace that ZORV_LAUNCHER_DEBUG asks for: "1" for the console (or the
// standard output it was redirected to), any other value for a file the
// lines are appended to in UTF-8. Null when it is not set or cannot be
// opened. Each platform has its own, in trace_win32.cpp and trace_posix.cpp.
std::unique_ptr<Trace> OpenLauncherTrace();

inline const wchar_t* YesNo(bool value) { return value ? L"yes" : L"no"; }
// Milliseconds with one decimal, from microseconds: "0.4", "12.0".
std::wstring MillisecondsText(std::uint64_t microseconds);
// "0x014C", "0x80070057": a field as the documentation writes it, in so many
// hexadecimal digits.
std::wstring HexText(std::uint32_t value, int digits);
inline std::wstring HexText(std::uint16_t value) { return HexText(value, 4); }

}  // namespace zorv
