// Whole-process times, from the spawn to the exit, of two applications whose
// main classes load 3000 classes first (the second's classes each link a
// lambda as they are initialised), on each runtime:
// - JDK 24 and later: "java -cp"; the start that records, by hand
//   (-XX:AOTMode=record) and through zorv with "Class Data Sharing=auto"; and
//   the starts that map the cache each made from it (by hand, and in zorv's
//   background assembly, both waited for unmeasured); and java mapping zorv's
//   cache, which parts what zorv's own start costs from what its cache is
//   worth;
// - earlier runtimes: "java -cp", and zorv without and with the setting.
// The ways of a round run one after the other, in turns forwards and
// backwards, round after round, so that drift hits them alike; medians of the
// rounds, and each ratio is the median of the rounds' own ratios, so that a
// round slowed as a whole does not move it, with the interval that holds nine
// in ten of the medians of rounds drawn again (so that a run says whether it
// decides a bound). Recordings differ, and so do the caches made of them, by
// a few per cent: every round makes both afresh.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/child_timing.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        pieces.push_back(text.substr(start, end - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

// Milliseconds from the spawn to the exit; negative on failure.
double WallTime(std::vector<std::string> arguments) {
    zorv::bench::ChildRun run;
    if (!zorv::bench::RunChild(std::move(arguments), run)) return -1;
    return static_cast<double>(run.end - run.start) / 1e6;
}

int FeatureRelease(const std::string& home) {
    std::ifstream release(home + "/release");
    for (std::string line; std::getline(release, line);) {
        if (line.compare(0, 14, "JAVA_VERSION=\"") == 0) return std::atoi(line.c_str() + 14);
    }
    return 0;
}

// A copy of zorv in its own folder, with settings that start the jar's Main
// on the runtime in home; its caches under <cache root>/Bench/<code>.
std::string InstallLauncher(const fs::path& folder, const std::string& home, const std::string& jar, bool sharing) {
    fs::create_directories(folder);
    const fs::path launcher = folder / "bench";
    fs::copy_file(ZORV_BENCH_ZORV, launcher, fs::copy_options::overwrite_existing);
    std::ofstream(folder / "bench.ini") << "[Product Information]\nProduct Name=Bench\nProduct Code="
                                        << folder.filename().string() << "\n[Java Runtime Environment]\nMain Class=Main"
                                        << "\nJRE Path=" << home << "\nClass Data Sharing=" << (sharing ? "auto" : "")
                                        << "\n[Class Path]\nClass Path=" << jar << "\n";
    return launcher.string();
}

bool HasFileEndingIn(const fs::path& folder, const std::string& ending) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            return true;
    }
    return false;
}

// Whether a process of this program is still running: zorv's assembly
// process lives on a little after it renamed its cache into place.
bool ProgramRuns(const fs::path& program) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::error_code unreadable;
        if (fs::read_symlink(entry.path() / "exe", unreadable) == program) return true;
    }
    return false;
}

// Until zorv's assembly process has put a cache into place, left no
// recording and ended, as java's assembly by hand has ended when its cache
// is used.
bool AwaitCache(const fs::path& cacheFolder, const fs::path& launcher) {
    for (int i = 0; i < 1200; ++i) {
        if (HasFileEndingIn(cacheFolder, ".aot") && !HasFileEndingIn(cacheFolder, ".aotconf") &&
            !HasFileEndingIn(cacheFolder, ".part") && !ProgramRuns(launcher))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// Points `link` at the cache in the folder, so that java maps the very file
// zorv's next start maps.
bool LinkCache(const fs::path& cacheFolder, const fs::path& link) {
    std::error_code error;
    fs::remove(link, error);
    for (const auto& entry : fs::directory_iterator(cacheFolder, error)) {
        if (entry.path().extension() == ".aot") {
            fs::create_symlink(entry.path(), link, error);
            return !error;
        }
    }
    return false;
}

// After a cache was made: what the process that made it left to the system
// (its teardown, and the tens of megabytes it wrote, which the kernel would
// otherwise write back during a later measured start) settles before the
// next start.
bool Settle() {
    sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return true;
}

void Clear(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
}

struct Way {
    const char* name;
    std::vector<std::string> command;
    std::function<void()> before;       // unmeasured, before each start
    std::function<bool()> after;        // unmeasured, after each start
};

struct Times {
    std::vector<std::vector<double>> rounds;  // per way, per round
    double Median(std::size_t way) const { return zorv::bench::Median(rounds[way]); }
    // The median of the rounds' ratios of one way to another.
    double Ratio(std::size_t way, std::size_t to) const {
        std::vector<double> ratios;
        for (std::size_t r = 0; r < rounds[way].size(); ++r) ratios.push_back(rounds[way][r] / rounds[to][r]);
        return zorv::bench::Median(ratios);
    }
    // Where the middle nine tenths of that median fall when the rounds are
    // drawn again with replacement; a fixed seed keeps a run repeatable.
    std::pair<double, double> RatioInterval(std::size_t way, std::size_t to) const {
        const std::size_t n = rounds[way].size();
        std::vector<double> medians;
        std::uint64_t state = 0x9E3779B97F4A7C15ULL;
        for (int draw = 0; draw < 2000; ++draw) {
            std::vector<double> ratios;
            for (std::size_t i = 0; i < n; ++i) {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                const std::size_t r = static_cast<std::size_t>((state >> 33) % n);
                ratios.push_back(rounds[way][r] / rounds[to][r]);
            }
            medians.push_back(zorv::bench::Median(ratios));
        }
        std::sort(medians.begin(), medians.end());
        return {medians[medians.size() / 20], medians[medians.size() - 1 - medians.size() / 20]};
    }
};

// "1.02 (0.99-1.05)": the ratio and its interval.
std::string RatioText(const Times& t, std::size_t way, std::size_t to) {
    const auto interval = t.RatioInterval(way, to);
    char text[64];
    std::snprintf(text, sizeof text, "%.2f (%.2f-%.2f)", t.Ratio(way, to), interval.first, interval.second);
    return text;
}

// Runs every way once unmeasured, then `runs` rounds, each in the order
// given for it; empty on failure.
Times Measure(std::vector<Way>& ways, int runs, const std::vector<std::vector<std::size_t>>& orders) {
    Times times;
    times.rounds.resize(ways.size());
    for (int round = -1; round < runs; ++round) {
        for (std::size_t w : orders[static_cast<std::size_t>(round + 1) % orders.size()]) {
            Way& way = ways[w];
            if (way.before) way.before();
            const double time = WallTime(way.command);
            if (time < 0 || (way.after && !way.after())) {
                std::fprintf(stderr, "%s failed\n", way.name);
                return {};
            }
            if (round >= 0) times.rounds[w].push_back(time);
        }
    }
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc >= 2 ? std::atoi(argv[1]) : 15;
    if (runs < 3) runs = 3;
    char rootName[] = "/tmp/zorv-cds-bench-XXXXXX";
    if (mkdtemp(rootName) == nullptr) return 2;
    const fs::path root = rootName;
    // The caches go where zorv keeps them, inside the bench's folder.
    const fs::path caches = root / "cache";
    setenv("XDG_CACHE_HOME", caches.c_str(), 1);

    std::printf("whole-process wall time (ms), median of %d paired, interleaved runs, ratios the median of the runs' own "
                "(in brackets, where nine in ten medians of the rounds drawn again fall); main's class loads 3000 classes;\n"
                "java z: java mapping zorv's cache; launcher: zorv against java z (zorv's own start); cache: java z against "
                "java AOT (zorv's cache against the one by hand)\n",
                runs);
    int result = 0;
    int index = 0;
    for (const std::string& home : Split(ZORV_BENCH_JDK_HOMES, '|')) {
        if (home.empty()) continue;
        const int feature = FeatureRelease(home);
        const std::string java = home + "/bin/java";
        if (feature >= 24) {
            std::printf("%-7s %-6s %8s %8s %8s %-16s %8s %-16s %-16s %8s %8s %-16s\n", "runtime", "app", "java -cp",
                        "java AOT", "zorv AOT", "ratio", "java z", "launcher", "cache", "java rec", "zorv rec", "ratio");
        } else {
            std::printf("%-8s %-7s %8s %8s %8s %6s\n", "runtime", "app", "java -cp", "zorv", "zorv CDS", "/java");
        }
        for (const char* jar : {ZORV_BENCH_PLAIN_JAR, ZORV_BENCH_LAMBDA_JAR}) {
            const std::string app = fs::path(jar).stem().string();
            const std::string id = std::to_string(index++);
            std::vector<Way> ways;
            ways.push_back({"java -cp", {java, "-cp", jar, "Main"}, nullptr, nullptr});
            // Every other round the other way round, so that no way always
            // follows the same one.
            std::vector<std::vector<std::size_t>> orders = {{0, 1, 2}, {2, 1, 0}};
            if (feature >= 24) {
                // Each round makes both caches afresh, as recordings differ:
                // java's by hand in the two steps of JDK 24 from the recording
                // its "rec" start made, zorv's by its recording start, whose
                // background assembly is waited for.
                const std::string recorded = (root / (id + "-recorded.aotconf")).string();
                const std::string handCache = (root / (id + "-hand.aot")).string();
                const std::string launcher = InstallLauncher(root / (id + "-aot"), home, jar, true);
                const fs::path launcherCaches = caches / "Bench" / (id + "-aot");
                // zorv's cache under a name fixed before it exists, for java.
                const fs::path zorvCache = root / (id + "-zorv.aot");
                const std::vector<std::string> create = {java, "-XX:AOTMode=create", "-XX:AOTConfiguration=" + recorded,
                                                         "-XX:AOTCache=" + handCache, "-cp", jar, "Main"};
                ways.push_back({"java rec",
                                {java, "-XX:AOTMode=record", "-XX:AOTConfiguration=" + recorded, "-cp", jar, "Main"},
                                [recorded] { fs::remove(recorded); }, [create] { return WallTime(create) >= 0 && Settle(); }});
                ways.push_back({"java AOT", {java, "-XX:AOTCache=" + handCache, "-cp", jar, "Main"}, nullptr, nullptr});
                ways.push_back({"zorv rec", {launcher}, [launcherCaches] { Clear(launcherCaches); },
                                [launcherCaches, launcher, zorvCache] {
                                    return AwaitCache(launcherCaches, launcher) && LinkCache(launcherCaches, zorvCache) &&
                                           Settle();
                                }});
                ways.push_back({"zorv AOT", {launcher}, nullptr, nullptr});
                ways.push_back({"java z", {java, "-XX:AOTCache=" + zorvCache.string(), "-cp", jar, "Main"}, nullptr,
                                nullptr});
                orders = {{0, 1, 2, 3, 4, 5}, {3, 5, 4, 1, 2, 0}};
            } else {
                ways.push_back({"zorv", {InstallLauncher(root / (id + "-plain"), home, jar, false)}, nullptr, nullptr});
                ways.push_back({"zorv CDS", {InstallLauncher(root / (id + "-cds"), home, jar, true)}, nullptr, nullptr});
            }
            const Times t = Measure(ways, runs, orders);
            if (t.rounds.empty()) {
                result = 1;
                continue;
            }
            if (feature >= 24) {
                std::printf("%-7d %-6s %8.1f %8.1f %8.1f %-16s %8.1f %-16s %-16s %8.1f %8.1f %-16s\n", feature,
                            app.c_str(), t.Median(0), t.Median(2), t.Median(4), RatioText(t, 4, 2).c_str(), t.Median(5),
                            RatioText(t, 4, 5).c_str(), RatioText(t, 5, 2).c_str(), t.Median(1), t.Median(3),
                            RatioText(t, 3, 1).c_str());
            } else {
                std::printf("%-8d %-7s %8.0f %8.0f %8.0f %6.2f\n", feature, app.c_str(), t.Median(0), t.Median(1),
                            t.Median(2), t.Ratio(2, 0));
            }
            std::fflush(stdout);
        }
    }
    Clear(root);
    return result;
}
