// The INI document, the layered lookup over an INI file and the embedded
// text, and the command-line splitter behind the settings.
#include <cstdlib>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "launcher/command_line.h"
#include "launcher/environment.h"
#include "launcher/ini_document.h"
#include "launcher/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorv::fuzz::Input input(data, size);
    std::wstring text = input.Text();
    zorv::IniDocument document;
    document.Parse(text);
    zorv::testing::FakePlatform platform;
    platform.SetProfile(L"C:\\app\\app.ini", L"Java Runtime Environment", L"Main Class", L"a.B");
    zorv::LayeredSettingsStore store(platform, L"C:\\app\\app.ini", document);
    for (const auto& section : document.Sections()) {
        for (const auto& entry : section.Entries()) {
            std::wstring value;
            store.GetValue(section.Name(), entry.first, value);
            if (section.Find(entry.first) == nullptr) std::abort();
        }
    }
    std::wstring value;
    store.GetValue(L"Java Runtime Environment", L"Main Class", value);
    if (value != L"a.B") std::abort();  // the file wins over the embedded text

    zorv::SplitArguments(text);
    zorv::ApplicationArgumentsFrom(text);
    zorv::ExpandReferences(text, [](const std::wstring& name, std::wstring& found) {
        found = name + name;
        return name.size() % 2 == 0;
    });
    return 0;
}
