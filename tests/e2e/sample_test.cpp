// The sample application as it ships, started with the jvm.dll double as the
// runtime shipped beside it: its settings must keep producing what it shows.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_support.h"
#include "fake_runtime.h"
#include "launcher/win32_api.h"

namespace e2e {
namespace {

std::wstring SampleFolder() { return EnvironmentValue(L"ZORV_E2E_SAMPLE_DIR"); }

std::wstring Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[16];
    swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(Sample, StartsWithItsWildcardClassPathParametersAndRedirection) {
    std::wstring folder = SampleFolder();
    if (folder.empty() || FakeJvm64().empty()) GTEST_SKIP() << "the sample or the jvm.dll double was not built";
    for (wchar_t& c : folder) {
        if (c == L'/') c = L'\\';
    }
    folder = L"Z:" + folder;
    Sandbox sandbox;
    std::wstring exe = sandbox.CopyIn(folder + L"\\Hello.exe", L"Hello.exe");
    sandbox.CopyIn(folder + L"\\Hello.ini", L"Hello.ini");
    std::wstring hello = sandbox.CopyIn(folder + L"\\lib\\hello.jar", L"lib\\hello.jar");
    std::wstring extras = sandbox.CopyIn(folder + L"\\lib\\extras.jar", L"lib\\extras.jar");
    std::wstring library = sandbox.CopyIn(FakeJvm64(), L"jre64\\bin\\server\\jvm.dll");
    sandbox.WriteBytes(L"jre64\\bin\\java.dll", "marker");

    std::wstring log = sandbox.Path(L"fake.log");
    Launch launch;
    launch.exe = exe;
    launch.arguments = L"hello \"wide world\"";
    launch.workingDirectory = sandbox.MakeFolders(L"elsewhere");
    launch.environment = {{L"FAKEJVM_LOG", log},
                          {L"FAKEJVM_CLASSES", L"com/example/hello/HelloApp"},
                          {L"FAKEJVM_WRITE_OUT", L"report"}};
    EXPECT_TRUE(Ended(RunLauncher(launch), 0, {}));

    std::vector<std::string> lines = SplitLines(ReadFileBytes(log));
    std::vector<std::string> options = WithPrefix(lines, "option ");
    ASSERT_EQ(options.size(), 8u) << ReadFileBytes(log);
    // Both jars, in whatever order the folder lists them.
    std::string classPath = options[0];
    EXPECT_NE(classPath.find(Utf8(hello) + ";"), std::string::npos) << classPath;
    EXPECT_NE(classPath.find(Utf8(extras) + ";"), std::string::npos) << classPath;
    EXPECT_EQ(options[1].compare(0, 11, "option -Xmx"), 0) << options[1];
    EXPECT_EQ(options[1].back(), 'K') << options[1];
    EXPECT_EQ(options[2], "option -Xss2m");
    EXPECT_EQ(options[3], "option -Dsample.title=Hello from the launcher");
    // A variable that both systems' launchers set, so that it is expanded on either.
    EXPECT_EQ(options[4], "option -Dsample.runtime=" + Utf8(sandbox.Path(L"jre64")));
    EXPECT_EQ(options[5], "option -Dsun.java2d.dpiaware=true");
    EXPECT_TRUE(Contains(lines, "load " + Utf8(library))) << ReadFileBytes(log);
    EXPECT_EQ(WithPrefix(lines, "arg["), (std::vector<std::string>{"arg[0]=hello", "arg[1]=wide world",
                                                                   "arg[2]=--from-ini", "arg[3]=two words"}));
    // "Override WorkingDir" puts the relative log folder beside the program.
    std::wstring out = sandbox.Path(L"logs\\hello-" + Today() + L".out.txt");
    EXPECT_EQ(ReadFileBytes(out), "report") << Utf8(out);
    EXPECT_TRUE(Contains(lines, "set_err append=1 logs\\hello-" + Utf8(Today()) + ".err.txt")) << ReadFileBytes(log);
    EXPECT_EQ(Faults(lines), std::vector<std::string>{});
}

}  // namespace
}  // namespace e2e
