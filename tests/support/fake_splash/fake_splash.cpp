// Test double for a Java runtime's splashscreen.dll: the four entry points the
// launcher calls, each appending one line to the UTF-8 log named by
// FAKESPLASH_LOG (opened per line, so it may be the jvm.dll double's log too):
//   splash_init
//   splash_load_file <file>
//   splash_set_file_jar_name <file> | <jar>
//   splash_close
// The narrow strings are logged byte for byte, bytes outside printable ASCII
// as \xHH, so a test sees exactly what the ANSI conversion made of a path.
// Built a second time without SplashSetFileJarName, like a runtime whose
// library the launcher cannot use.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Escaped(const char* text) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p != nullptr && *p != 0; ++p) {
        char piece[8] = {static_cast<char>(*p)};
        if (*p < 0x20 || *p >= 0x7F) std::snprintf(piece, sizeof piece, "\\x%02X", *p);
        out += piece;
    }
    return out;
}

void Log(const std::string& line) {
    DWORD size = GetEnvironmentVariableW(L"FAKESPLASH_LOG", nullptr, 0);
    if (size == 0) return;
    std::vector<wchar_t> path(size);
    GetEnvironmentVariableW(L"FAKESPLASH_LOG", path.data(), size);
    HANDLE file = CreateFileW(path.data(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) void SplashInit() { Log("splash_init"); }

extern "C" __declspec(dllexport) int SplashLoadFile(const char* file) {
    Log("splash_load_file " + Escaped(file));
    return 1;
}

#ifndef FAKESPLASH_WITHOUT_JAR_NAME
extern "C" __declspec(dllexport) void SplashSetFileJarName(const char* file, const char* jar) {
    Log("splash_set_file_jar_name " + Escaped(file) + " | " + Escaped(jar));
}
#endif

extern "C" __declspec(dllexport) void SplashClose() { Log("splash_close"); }
