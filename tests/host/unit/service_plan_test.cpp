// What installing a service registers, judged from the settings alone: the
// parts Wine's service manager does not keep (failure actions, the delayed
// start) are only seen here.
#include <gtest/gtest.h>

#include "launcher/launcher_settings.h"
#include "launcher/service.h"

namespace zorv {
namespace {

ServiceSettings Named(const std::wstring& name) {
    ServiceSettings settings;
    settings.name = name;
    return settings;
}

TEST(ServicePlan, SettingsBecomeWhatTheManagerIsToldWithDefaultsForWhatIsUnset) {
    ServiceSettings settings = Named(L"Viewer");
    settings.displayName = L"The Viewer";
    settings.startType = L"Delayed Automatic";
    settings.dependencies = L" Tcpip ;; Dnscache;";
    settings.account = L"virtual";
    settings.restartDelay = L"30";
    ServicePlan plan;
    std::wstring problem;
    ASSERT_TRUE(BuildServicePlan(settings, L"C:\\Program Files\\Viewer\\Viewer.exe", plan, problem)) << problem.c_str();
    EXPECT_EQ(plan.name, L"Viewer");
    EXPECT_EQ(plan.displayName, L"The Viewer");
    EXPECT_EQ(plan.commandLine, L"\"C:\\Program Files\\Viewer\\Viewer.exe\"");
    EXPECT_EQ(plan.startType, ServiceStartType::delayedAutomatic);
    EXPECT_EQ(plan.dependencies, (std::vector<std::wstring>{L"Tcpip", L"Dnscache"}));
    EXPECT_EQ(plan.account, L"NT SERVICE\\Viewer");
    EXPECT_TRUE(plan.restarts);
    EXPECT_EQ(plan.restartDelayMs, 30000u);
    EXPECT_EQ(plan.restartCount, 3u);
    EXPECT_EQ(plan.resetSeconds, 86400u);
    EXPECT_EQ(plan.stopTimeoutMs, 20000u);

    // Nothing set: LocalSystem, started at boot, no restarts, the name for a display name.
    ASSERT_TRUE(BuildServicePlan(Named(L"Viewer"), L"C:\\V.exe", plan, problem));
    EXPECT_EQ(plan.account, L"");
    EXPECT_EQ(plan.startType, ServiceStartType::automatic);
    EXPECT_FALSE(plan.restarts);
    EXPECT_EQ(plan.displayName, L"Viewer");
    EXPECT_TRUE(plan.dependencies.empty());
}

TEST(ServicePlan, EachUnusableSettingIsNamedAndNothingIsPlanned) {
    struct Case {
        void (*set)(ServiceSettings&);
        const wchar_t* problem;
    };
    const Case cases[] = {
        {[](ServiceSettings& s) { s.name = L"a\\b"; },
         L"\"Service Name=a\\b\" in [Service] is no service name: 1 to 256 characters, without \"\\\" and \"/\""},
        {[](ServiceSettings& s) { s.name = std::wstring(257, L'n'); }, nullptr},
        {[](ServiceSettings& s) { s.startType = L"boot"; },
         L"\"Start Type=boot\" in [Service] is none of \"automatic\", \"delayed automatic\" and \"manual\""},
        {[](ServiceSettings& s) { s.account = L"Administrator"; },
         L"\"Account=Administrator\" in [Service] is none of \"LocalSystem\", \"LocalService\", \"NetworkService\" "
         L"and \"Virtual\""},
        {[](ServiceSettings& s) { s.stopTimeout = L"-1"; },
         L"\"Stop Timeout=-1\" in [Service] is not a whole number from 0 to 86400"},
        {[](ServiceSettings& s) { s.stopTimeout = L"86401"; }, nullptr},
        {[](ServiceSettings& s) { s.stopTimeout = L"99999999999999999999"; }, nullptr},
        {[](ServiceSettings& s) {
             s.restartDelay = L"5";
             s.restartCount = L"1001";
         },
         L"\"Restart Count=1001\" in [Service] is not a whole number from 0 to 1000"},
        {[](ServiceSettings& s) { s.restartCount = L"2"; },
         L"\"Restart Count\" and \"Restart Reset\" in [Service] need \"Restart Delay\", the seconds before each "
         L"restart"},
    };
    for (const Case& c : cases) {
        ServiceSettings settings = Named(L"Viewer");
        c.set(settings);
        ServicePlan plan;
        plan.name = L"left over";
        std::wstring problem;
        EXPECT_FALSE(BuildServicePlan(settings, L"C:\\V.exe", plan, problem)) << problem.c_str();
        EXPECT_FALSE(problem.empty());
        if (c.problem != nullptr) {
            EXPECT_EQ(problem, c.problem);
        }
    }
}

TEST(ServicePlan, OnlyALoneSwitchIsAServiceCommandAndATimeoutOutOfRangeIsTheDefault) {
    using Args = std::vector<std::wstring>;
    EXPECT_EQ(ServiceCommandFrom(Args{}), ServiceCommand::none);
    EXPECT_EQ(ServiceCommandFrom(Args{L"--install-service"}), ServiceCommand::install);
    EXPECT_EQ(ServiceCommandFrom(Args{L"--remove-service"}), ServiceCommand::remove);
    EXPECT_EQ(ServiceCommandFrom(Args{L"--install-service", L"x"}), ServiceCommand::misused);
    // Elsewhere, or in another letter case, it is the application's argument.
    EXPECT_EQ(ServiceCommandFrom(Args{L"x", L"--install-service"}), ServiceCommand::none);
    EXPECT_EQ(ServiceCommandFrom(Args{L"--Install-Service"}), ServiceCommand::none);

    ServiceSettings settings;
    settings.stopTimeout = L"7";
    EXPECT_EQ(StopTimeoutMs(settings), 7000u);
    settings.stopTimeout = L"seven";
    EXPECT_EQ(StopTimeoutMs(settings), kDefaultStopTimeoutMs);
    settings.stopTimeout = L"";
    EXPECT_EQ(StopTimeoutMs(settings), kDefaultStopTimeoutMs);
}

}  // namespace
}  // namespace zorv
