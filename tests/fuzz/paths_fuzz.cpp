// Names made from settings: the time picture in output file names and the
// class path's wildcard entries.
#include <cstdlib>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "vm/class_path.h"
#include "vm/output_redirection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorv::fuzz::Input input(data, size);
    zorv::LocalTime time;
    time.year = static_cast<std::uint16_t>(input.Number(2));
    time.month = static_cast<std::uint16_t>(input.Number(1));
    time.day = static_cast<std::uint16_t>(input.Number(1));
    std::wstring text = input.Text();
    zorv::testing::FakePlatform platform;
    std::wstring name = text;
    zorv::ApplyTimePicture(platform, name, time);
    std::wstring pattern = zorv::ClassPathSearchPattern(text, L"C:\\app\\app.exe", zorv::kWindowsConventions);
    platform.listings[pattern] = {L"a.jar", L"b.JAR", L"c.txt"};
    std::wstring classPath;
    zorv::ExpandClassPathEntry(platform, text, L"C:\\app\\app.exe", classPath);
    return 0;
}
