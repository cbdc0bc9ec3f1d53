// The records of a start over the fake platform, as if started as
// C:\app\app.exe with its settings file beside it: the base of the fixtures
// that drive the stages.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "fake_platform.h"
#include "launcher/launcher_settings.h"
#include "launcher/stage_outcome.h"
#include "runtime/runtime_search.h"

namespace zorv {

// How a failed expectation shows an outcome.
inline void PrintTo(const StageOutcome& outcome, std::ostream* out) {
    const char* kinds[] = {"proceed", "endQuietly", "endWithCode"};
    *out << kinds[static_cast<int>(outcome.kind())] << " " << outcome.exitCode();
}

}  // namespace zorv

namespace zorv::testing {

class LauncherFixture : public ::testing::Test {
protected:
    FakePlatform platform;
    ProgramFiles files{L"C:\\app\\app.exe", L"C:\\app\\app.ini"};
    LauncherSettings settings;
    // The runtime stage's result, and the build it is judged for.
    ChosenRuntime chosen;
    TargetArchitecture architecture = kBuildArchitecture;
    const std::wstring ini = L"C:\\app\\app.ini";

    void SetUp() override { platform.modulePath = L"C:\\app\\app.exe"; }
    // A value of the settings file.
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        platform.SetProfile(ini, section, key, value);
    }
    // The settings stage, into fresh records.
    bool Read() {
        settings = LauncherSettings();
        files = ProgramFiles();
        return ReadLauncherSettings(platform, files, settings);
    }
    // The runtime stage over the records as they stand.
    bool Locate() {
        return ChooseRuntime(platform, files, settings.runtime, settings.instance, architecture, chosen).Proceeds();
    }
    // Which libraries the records let the start take; lives as long as the fixture.
    const StartableMachines& Machines() {
        machines_ = StartableMachines{architecture, !settings.instance.pairProduct.empty()};
        return machines_;
    }

private:
    StartableMachines machines_;
};

}  // namespace zorv::testing
