// Time from process start to the first statement of a hello-world main, and
// to process exit: our VM hosting (a child of this program, running the
// launcher's VM thread over the Linux platform) against `java -cp`, on the
// same libjvm.so. Runs alternate between the two so drift hits both alike.
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

// The stack the JDK's own launcher gives main's thread on Linux x64, so both
// sides start main on equal terms.
constexpr std::uint64_t kMainThreadStack = 1 << 20;

int HostHello() {
    zorv::testing::PosixPlatform platform;
    std::uint32_t code = 1;
    {
        zorv::Launcher launcher(platform);
        launcher.settings.start.mainClass = L"Hello";
        launcher.vmStart.options = {std::string("-Djava.class.path=") + ZORV_BENCH_CLASS_FOLDER};
        launcher.vmStart.threadStackSize = kMainThreadStack;
        if (!zorv::LoadJvmLibrary(platform, zorv::testing::FromUtf8(ZORV_BENCH_JVM_LIBRARY), nullptr,
                                  launcher.vm.entries)
                 .Proceeds())
            return 1;
        if (!platform.processes().RunThread(launcher.vmStart.threadStackSize, zorv::VmThreadMain, &launcher, code))
            return 1;
    }
    return static_cast<int>(code);
}

struct Sample {
    double toMain = 0;  // milliseconds
    double toExit = 0;
};

bool RunOnce(std::vector<std::string> arguments, Sample& sample) {
    zorv::bench::ChildRun run;
    if (!zorv::bench::RunChild(std::move(arguments), run)) return false;
    long long mainEntered = std::atoll(run.output.c_str());
    if (mainEntered <= run.start) return false;
    sample.toMain = static_cast<double>(mainEntered - run.start) / 1e6;
    sample.toExit = static_cast<double>(run.end - run.start) / 1e6;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--host-hello") return HostHello();

    int runs = argc >= 2 ? std::atoi(argv[1]) : 15;
    if (runs < 10) runs = 10;
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 2;
    self[length] = '\0';
    const std::vector<std::string> host = {self, "--host-hello"};
    const std::vector<std::string> java = {ZORV_BENCH_JAVA, "-cp", ZORV_BENCH_CLASS_FOLDER, "Hello"};

    Sample sample;
    // One of each first, unmeasured, so neither side pays for a cold page cache.
    if (!RunOnce(host, sample) || !RunOnce(java, sample)) {
        std::fprintf(stderr, "a hello-world run failed\n");
        return 1;
    }
    std::vector<double> hostMain, hostExit, javaMain, javaExit;
    for (int i = 0; i < runs; ++i) {
        if (!RunOnce(host, sample)) return 1;
        hostMain.push_back(sample.toMain);
        hostExit.push_back(sample.toExit);
        if (!RunOnce(java, sample)) return 1;
        javaMain.push_back(sample.toMain);
        javaExit.push_back(sample.toExit);
    }
    double hm = Median(hostMain), he = Median(hostExit), jm = Median(javaMain), je = Median(javaExit);
    std::printf("hello world on %s, median of %d runs each\n", ZORV_BENCH_JVM_LIBRARY, runs);
    std::printf("%-22s %12s %12s\n", "", "to main ms", "to exit ms");
    std::printf("%-22s %12.1f %12.1f\n", "zorv VM hosting", hm, he);
    std::printf("%-22s %12.1f %12.1f\n", "java -cp", jm, je);
    std::printf("%-22s %12.2f %12.2f\n", "ratio zorv / java", hm / jm, he / je);
    return 0;
}
