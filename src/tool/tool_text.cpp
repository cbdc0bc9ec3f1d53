#include "tool/tool_text.h"

namespace zorv::tool {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr bool kSlashSeparates = std::filesystem::path::preferred_separator == '/';

}  // namespace

std::filesystem::path FileSystemPath(const std::wstring& path) {
    if (kWideIsUtf16) return std::filesystem::path(path);
    return std::filesystem::u8path(ToUtf8(path));
}

std::wstring WidePath(const std::filesystem::path& path) {
    if (kWideIsUtf16) return path.wstring();
    return FromUtf8(path.u8string());
}

namespace {
std::wstring WithSeparator(std::wstring path, wchar_t from, wchar_t to) {
    if (!kSlashSeparates) return path;
    for (wchar_t& c : path) {
        if (c == from) c = to;
    }
    return path;
}
}  // namespace

std::wstring LauncherPathOf(const std::wstring& nativePath) { return WithSeparator(nativePath, L'/', L'\\'); }

std::wstring NativePathOf(const std::wstring& launcherPath) { return WithSeparator(launcherPath, L'\\', L'/'); }

}  // namespace zorv::tool
