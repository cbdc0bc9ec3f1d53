// A command run in a child process with a deadline and a memory budget: one
// that would wait on a pipe for ever, or read a device to its end, fails the
// test instead of hanging it or taking the machine's memory.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>

namespace zorv::tool {

struct BoundedRun {
    bool finished;  // false when the deadline or the budget stopped it
    int code;
};

// The child's exit code when the budget made the command throw; the test
// framework must not catch it there and go on with the other tests.
constexpr int kOverBudget = 255;

// The budget counts from the address space the test itself already has.
inline BoundedRun RunBounded(const std::function<int()>& command, unsigned seconds, std::uint64_t budget) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit limit{static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + budget),
                           static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + budget)};
        ::setrlimit(RLIMIT_AS, &limit);
        ::alarm(seconds);
        int code = kOverBudget;
        try {
            code = command();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return {false, -1};
    const bool finished = WIFEXITED(status) && WEXITSTATUS(status) != kOverBudget;
    return {finished, finished ? WEXITSTATUS(status) : -1};
}

}  // namespace zorv::tool
