// Time from process start to the first statement of main of an application
// whose main class loads a few thousand classes first, through our VM hosting
// (a child of this program running the launcher's VM thread over the Linux
// platform), with and without the class-data archive the launcher keeps, on
// each runtime. Runs alternate between the two so drift hits both alike.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/child_timing.h"
#include "launcher/launcher.h"
#include "posix_platform.h"

namespace {

using zorv::bench::Median;

using zorv::testing::FromUtf8;
using zorv::testing::NativePath;

constexpr std::uint64_t kMainThreadStack = 1 << 20;

// The child: runs the application on the runtime in home, with the archive
// options the launcher makes when archiveRoot (its per-user folder) is given.
int HostApplication(const std::string& home, const std::string& archiveRoot) {
    zorv::testing::PosixPlatform platform;
    std::uint32_t code = 1;
    {
        zorv::Launcher launcher(platform);
        launcher.mainClass = L"Main";
        launcher.vmOptions = {std::string("-Djava.class.path=") + ZORV_BENCH_APP_JAR};
        if (!archiveRoot.empty()) {
            setenv("APPDATA", archiveRoot.c_str(), 1);
            platform.modulePath = FromUtf8(archiveRoot) + L"\\bench.exe";
            launcher.productName = L"Bench";
            launcher.productCode = L"X";
            for (const std::wstring& option : launcher.ClassDataSharingOptions(FromUtf8(home + "/")))
                launcher.vmOptions.push_back(NativePath(option));
        }
        launcher.vmThreadStackSize = kMainThreadStack;
        if (!launcher.LoadJvmLibrary(FromUtf8(home + "/lib/server/libjvm.so"))) return 1;
        if (!platform.RunThread(launcher.vmThreadStackSize, zorv::VmThreadMain, &launcher, code)) return 1;
    }
    return static_cast<int>(code);
}

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

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--host-app")
        return HostApplication(argv[2], argc >= 4 ? argv[3] : "");

    int runs = argc >= 2 ? std::atoi(argv[1]) : 11;
    if (runs < 5) runs = 5;
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 2;
    self[length] = '\0';
    char root[] = "/tmp/zorv-cds-bench-XXXXXX";
    if (mkdtemp(root) == nullptr) return 2;

    std::printf("time to main of %s (main's class loads 3000 classes first), median of %d runs each\n",
                ZORV_BENCH_APP_JAR, runs);
    std::printf("%-40s %12s %12s %8s\n", "runtime", "without ms", "with ms", "ratio");
    int result = 0;
    for (const std::string& home : Split(ZORV_BENCH_JDK_HOMES, '|')) {
        if (home.empty()) continue;
        const std::vector<std::string> without = {self, "--host-app", home};
        const std::vector<std::string> with = {self, "--host-app", home, root};
        // Unmeasured: the first start with the archive writes it; a second
        // of each leaves neither side a cold page cache.
        if (TimeToMain(with) < 0 || TimeToMain(with) < 0 || TimeToMain(without) < 0) {
            std::fprintf(stderr, "a run on %s failed\n", home.c_str());
            result = 1;
            continue;
        }
        std::vector<double> withoutTimes, withTimes;
        for (int i = 0; i < runs; ++i) {
            double a = TimeToMain(without), b = TimeToMain(with);
            if (a < 0 || b < 0) return 1;
            withoutTimes.push_back(a);
            withTimes.push_back(b);
        }
        double w = Median(withoutTimes), c = Median(withTimes);
        std::printf("%-40s %12.1f %12.1f %8.2f\n", home.c_str(), w, c, c / w);
    }
    std::string command = std::string("rm -rf '") + root + "'";
    if (std::system(command.c_str()) != 0) std::perror("rm");
    return result;
}
