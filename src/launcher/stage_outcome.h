// How one stage of a start ended, and the sequence that acts on it. A stage
// that ends the start has already said why in its own words, or had nothing
// to say; the sequence adds no message, it only stops and hands the exit code on.
#pragma once

#include <cstdint>
#include <type_traits>

#include "launcher/trace.h"

namespace zorv {

// The launcher's own exit code for a start that ended before the application ran.
constexpr std::int32_t kStartFailed = -1;

class StageOutcome {
public:
    enum class Kind {
        proceed,      // the next stage runs
        endQuietly,   // the start ends with kStartFailed and nothing shown: the user chose so, or nobody is told
        endWithCode,  // the start ends with exitCode after the stage's own message
    };

    static StageOutcome Proceed() { return StageOutcome(Kind::proceed, 0); }
    static StageOutcome EndQuietly() { return StageOutcome(Kind::endQuietly, kStartFailed); }
    static StageOutcome EndWithCode(std::int32_t exitCode) { return StageOutcome(Kind::endWithCode, exitCode); }

    Kind kind() const { return kind_; }
    bool Proceeds() const { return kind_ == Kind::proceed; }
    // What the process ends with; 0 while the start goes on.
    std::int32_t exitCode() const { return exitCode_; }

    bool operator==(const StageOutcome& other) const { return kind_ == other.kind_ && exitCode_ == other.exitCode_; }

private:
    StageOutcome(Kind kind, std::int32_t exitCode) : kind_(kind), exitCode_(exitCode) {}
    Kind kind_;
    std::int32_t exitCode_;
};

// The stages of a start in their order, each one stage of the trace: the one
// place that acts on how a stage ended. Once a stage ends the start, no later
// one runs and Outcome() says how the start ends.
class StageSequence {
public:
    explicit StageSequence(Trace* trace) : trace_(trace) {}

    // True while the start goes on. A step that returns nothing cannot end it.
    template <typename Step>
    bool Run(const wchar_t* name, Step step) {
        if (!outcome_.Proceeds()) return false;
        TraceStage stage(trace_, name);
        if constexpr (std::is_void_v<decltype(step())>) {
            step();
        } else {
            outcome_ = step();
        }
        return outcome_.Proceeds();
    }

    const StageOutcome& Outcome() const { return outcome_; }

private:
    Trace* trace_;
    StageOutcome outcome_ = StageOutcome::Proceed();
};

}  // namespace zorv
