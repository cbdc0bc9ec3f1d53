#include "tool/tool_text.h"

#include <fstream>
#include <iterator>

#include "tool/byte_range.h"

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

namespace {

template <typename Container>
bool ReadWholeFileInto(const std::filesystem::path& path, Container& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.clear();
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kLargestInput) return false;
    }
    return !in.bad();
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) { return ReadWholeFileInto(path, bytes); }

bool ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes) {
    return ReadWholeFileInto(path, bytes);
}

}  // namespace zorv::tool
