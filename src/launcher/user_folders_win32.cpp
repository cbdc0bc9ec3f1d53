// The user's folders as Windows itself knows them, for a start whose
// environment does not name them. shell32 and ole32 are loaded from the
// system folder only then: most starts never need them, and each would cost
// every start its loading time.
#include "launcher/platform_win32.h"
#include "launcher/system_library_win32.h"

namespace zorv {
namespace {

// FOLDERID_RoamingAppData and FOLDERID_LocalAppData, indexed by UserFolderKind.
const GUID kKnownFolders[2] = {
    {0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}},
    {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}},
};
constexpr DWORD kKnownFolderDontVerify = 0x00004000;  // KF_FLAG_DONT_VERIFY

using GetKnownFolderPath = HRESULT WINAPI(const GUID& id, DWORD flags, HANDLE token, wchar_t** path);
using FreeTaskMemory = void WINAPI(void* memory);

}  // namespace

bool Win32Environment::KnownUserFolder(UserFolderKind kind, std::wstring& folder) {
    auto getPath = SystemFunction<GetKnownFolderPath>(L"shell32.dll", "SHGetKnownFolderPath");
    auto freeMemory = SystemFunction<FreeTaskMemory>(L"ole32.dll", "CoTaskMemFree");
    if (getPath == nullptr || freeMemory == nullptr) return false;
    wchar_t* path = nullptr;
    const bool found = SUCCEEDED(getPath(kKnownFolders[static_cast<int>(kind)], kKnownFolderDontVerify, nullptr, &path));
    if (found) folder = path;
    freeMemory(path);
    return found;
}

}  // namespace zorv
