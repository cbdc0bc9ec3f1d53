// A Launcher over the fake platform, as if started as C:\app\app.exe with its
// settings file beside it: the base of the fixtures that drive the Launcher.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fake_platform.h"
#include "launcher/launcher.h"

namespace zorv::testing {

class LauncherFixture : public ::testing::Test {
protected:
    FakePlatform platform;
    Launcher launcher{platform};
    const std::wstring ini = L"C:\\app\\app.ini";

    void SetUp() override { platform.modulePath = L"C:\\app\\app.exe"; }
    // A value of the settings file.
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        platform.SetProfile(ini, section, key, value);
    }
};

}  // namespace zorv::testing
