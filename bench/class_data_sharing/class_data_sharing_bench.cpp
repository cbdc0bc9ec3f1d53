// Time from process start to the first statement of main of an application
// whose main class loads a few thousand classes first: "java -cp", and the
// real zorv without and with "Class Data Sharing=auto" (its archive in a
// cache folder of the bench's own), on each runtime. Runs alternate between
// the three so that drift hits them alike.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/child_timing.h"

namespace {

namespace fs = std::filesystem;
using zorv::bench::Median;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        pieces.push_back(text.substr(start, end - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

// Milliseconds from the spawn to main's first statement; negative on failure.
double TimeToMain(std::vector<std::string> arguments) {
    zorv::bench::ChildRun run;
    if (!zorv::bench::RunChild(std::move(arguments), run)) return -1;
    // The first line that is a number: the runtime may log before main prints.
    long long mainEntered = 0;
    for (const std::string& line : Split(run.output, '\n')) {
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
            mainEntered = std::atoll(line.c_str());
            break;
        }
    }
    if (mainEntered <= run.start) return -1;
    return static_cast<double>(mainEntered - run.start) / 1e6;
}

// A copy of zorv in its own folder, with settings that start the bench
// application on the runtime in home.
std::string InstallLauncher(const fs::path& folder, const std::string& home, bool sharing) {
    fs::create_directories(folder);
    const fs::path launcher = folder / "bench";
    fs::copy_file(ZORV_BENCH_ZORV, launcher, fs::copy_options::overwrite_existing);
    std::ofstream(folder / "bench.ini") << "[Product Information]\nProduct Name=Bench\nProduct Code=X\n"
                                        << "[Java Runtime Environment]\nMain Class=Main\nJRE Path=" << home
                                        << "\nClass Data Sharing=" << (sharing ? "auto" : "") << "\n"
                                        << "[Class Path]\nClass Path=" << ZORV_BENCH_APP_JAR << "\n";
    return launcher.string();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc >= 2 ? std::atoi(argv[1]) : 11;
    if (runs < 5) runs = 5;
    char root[] = "/tmp/zorv-cds-bench-XXXXXX";
    if (mkdtemp(root) == nullptr) return 2;
    // The archives go where zorv keeps caches, inside the bench's folder.
    setenv("XDG_CACHE_HOME", (std::string(root) + "/cache").c_str(), 1);

    std::printf("time to main of %s (main's class loads 3000 classes first), median of %d runs each\n",
                ZORV_BENCH_APP_JAR, runs);
    std::printf("%-36s %10s %10s %10s %8s\n", "runtime", "java ms", "zorv ms", "+cds ms", "cds/java");
    int result = 0;
    int index = 0;
    for (const std::string& home : Split(ZORV_BENCH_JDK_HOMES, '|')) {
        if (home.empty()) continue;
        const fs::path folder = fs::path(root) / std::to_string(index++);
        const std::vector<std::vector<std::string>> ways = {
            {home + "/bin/java", "-cp", ZORV_BENCH_APP_JAR, "Main"},
            {InstallLauncher(folder / "plain", home, false)},
            {InstallLauncher(folder / "sharing", home, true)},
        };
        // Unmeasured: the first start with sharing writes the archive; a
        // second of each leaves no way a cold page cache.
        bool started = true;
        for (int round = 0; round < 2; ++round) {
            for (const auto& way : ways) started = started && TimeToMain(way) >= 0;
        }
        if (!started) {
            std::fprintf(stderr, "a run on %s failed\n", home.c_str());
            result = 1;
            continue;
        }
        std::vector<std::vector<double>> times(ways.size());
        for (int i = 0; i < runs; ++i) {
            for (std::size_t w = 0; w < ways.size(); ++w) {
                double time = TimeToMain(ways[w]);
                if (time < 0) return 1;
                times[w].push_back(time);
            }
        }
        const double java = Median(times[0]), plain = Median(times[1]), sharing = Median(times[2]);
        std::printf("%-36s %10.1f %10.1f %10.1f %8.2f\n", home.c_str(), java, plain, sharing, sharing / java);
    }
    std::error_code error;
    fs::remove_all(root, error);
    return result;
}
