// The trace's line format: the time stamp column and the stage durations
// that a reader lines up and greps for.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/trace.h"

namespace zorv {
namespace {

std::uint64_t now = 0;
std::uint64_t FakeClock() { return now; }

class Lines : public TraceSink {
public:
    explicit Lines(std::vector<std::wstring>& lines) : lines_(lines) {}
    void Write(const std::wstring& line) override { lines_.push_back(line); }

private:
    std::vector<std::wstring>& lines_;
};

TEST(Trace, StampsEachLineWithItsTimeSinceTheStartAndTimesStages) {
    std::vector<std::wstring> lines;
    now = 5000000;  // the clock's own origin is not the trace's
    Trace trace(std::make_unique<Lines>(lines), FakeClock);
    trace.Line(L"first");
    now += 12999;
    trace.Line(L"second");
    {
        TraceStage stage(&trace, L"runtime search");
        now += 1450;
    }
    now += 123456789;
    trace.Line(L"late");
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"[    0 ms] first", L"[   12 ms] second",
                                                L"[   14 ms] stage runtime search took 1.5 ms",
                                                L"[123471 ms] late"}));
    // Nothing is measured or written without a trace.
    TraceStage nothing(nullptr, L"unseen");
}

TEST(Trace, NumbersAsTheLinesWriteThem) {
    EXPECT_EQ(MillisecondsText(0), L"0.0");
    EXPECT_EQ(MillisecondsText(49), L"0.0");
    EXPECT_EQ(MillisecondsText(950), L"1.0");
    EXPECT_EQ(MillisecondsText(20949), L"20.9");
    EXPECT_EQ(HexText(0x014C), L"0x014C");
    EXPECT_EQ(HexText(0x8664), L"0x8664");
}

}  // namespace
}  // namespace zorv
