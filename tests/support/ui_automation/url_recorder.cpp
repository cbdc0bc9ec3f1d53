#include "url_recorder.h"

#include "launcher/win32_api.h"
#include "win32_files.h"

namespace uiauto {
namespace {

using zorv::testing::FromUtf8;

const wchar_t* const kCommandKeys[] = {L"Software\\Classes\\http\\shell\\open\\command",
                                       L"Software\\Classes\\https\\shell\\open\\command"};

bool WriteString(const std::wstring& key, DWORD type, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(handle, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

}  // namespace

std::wstring OpenRecorderPath() { return zorv::testing::FromHostPath(zorv::testing::FromUtf8(UIAUTO_OPEN_RECORDER)); }

ScopedUrlRecorder::ScopedUrlRecorder(const std::wstring& recorderExe) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t file[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"url", 0, file) == 0) return;
    log_ = file;
    std::wstring command = L"\"" + recorderExe + L"\" \"" + log_ + L"\" \"%1\"";
    installed_ = true;
    for (const wchar_t* key : kCommandKeys) {
        SavedCommand saved;
        saved.key = key;
        wchar_t value[1024] = {};
        DWORD size = sizeof value - sizeof(wchar_t);
        DWORD type = 0;
        saved.existed = RegGetValueW(HKEY_LOCAL_MACHINE, key, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                                     RRF_NOEXPAND, &type, value, &size) == ERROR_SUCCESS;
        saved.type = type;
        saved.value = value;
        saved_.push_back(saved);
        installed_ = WriteString(key, REG_SZ, command) && installed_;
    }
}

ScopedUrlRecorder::~ScopedUrlRecorder() {
    for (const SavedCommand& saved : saved_) {
        if (saved.existed) WriteString(saved.key, saved.type, saved.value);
        else RegDeleteKeyW(HKEY_LOCAL_MACHINE, saved.key.c_str());
    }
    if (!log_.empty()) DeleteFileW(log_.c_str());
}

std::vector<std::wstring> ScopedUrlRecorder::Opened(std::size_t atLeast, std::uint32_t timeoutMs) const {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<std::wstring> lines;
        std::string bytes = zorv::testing::ReadFileBytes(log_);
        // A line is whole once its newline is there.
        for (std::size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(FromUtf8(bytes.substr(start, end - start)));
        }
        if (lines.size() >= atLeast || GetTickCount64() >= deadline) return lines;
        Sleep(25);
    }
}

}  // namespace uiauto
