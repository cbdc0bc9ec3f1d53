// Stand-in for the launcher's paired executable: records the exact command line it was
// started with, so tests can check quoting, and exits with a scripted code.
//   PAIR_STUB_LOG       file that receives GetCommandLineW() as UTF-8 (overwritten)
//   PAIR_STUB_EXIT      exit code (default 0)
//   PAIR_STUB_SLEEP_MS  delay before writing and exiting, to test waiting on the child
//   PAIR_STUB_WRITE_OUT text written to its standard output handle, as given
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring envVar(const wchar_t* name) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return std::wstring();
  std::vector<wchar_t> buf(n);
  n = GetEnvironmentVariableW(name, buf.data(), n);
  return std::wstring(buf.data(), n);
}

void writeUtf8(const std::wstring& path, const wchar_t* text) {
  int len = static_cast<int>(std::wcslen(text));
  int size = WideCharToMultiByte(CP_UTF8, 0, text, len, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, len, &bytes[0], size, nullptr, nullptr);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring sleepMs = envVar(L"PAIR_STUB_SLEEP_MS");
  if (!sleepMs.empty()) Sleep(static_cast<DWORD>(std::wcstoul(sleepMs.c_str(), nullptr, 10)));
  std::wstring log = envVar(L"PAIR_STUB_LOG");
  if (!log.empty()) writeUtf8(log, GetCommandLineW());
  std::wstring out = envVar(L"PAIR_STUB_WRITE_OUT");
  DWORD written = 0;
  if (!out.empty()) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size() * sizeof(wchar_t)), &written, nullptr);
  return static_cast<int>(std::wcstol(envVar(L"PAIR_STUB_EXIT").c_str(), nullptr, 10));
}
