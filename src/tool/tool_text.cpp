#include "tool/tool_text.h"

#include <fstream>
#include <iterator>

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

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace zorv::tool
