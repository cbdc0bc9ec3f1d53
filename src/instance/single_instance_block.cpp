#include "instance/single_instance_block.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "launcher/byte_order.h"
#include "vm/vm_host.h"

namespace zorv {
namespace {

// The scan stops before the block's last unit: the unit after a NUL is always
// inside the block.
constexpr std::size_t kScanEnd = kInstanceBlockSize - 2;

char16_t UnitAt(const unsigned char* block, std::size_t offset) {
    return static_cast<char16_t>(block[offset] | block[offset + 1] << 8);
}

void PutUnit(unsigned char* block, std::size_t offset, char16_t unit) {
    block[offset] = static_cast<unsigned char>(unit & 0xFF);
    block[offset + 1] = static_cast<unsigned char>(unit >> 8);
}

}  // namespace

std::wstring InstanceBaseName(const std::wstring& modulePath) {
    std::wstring name = modulePath;
    for (wchar_t& c : name) {
        if (c == L'\\') c = L'_';
    }
    if (modulePath.find(L'_') == std::wstring::npos && name.size() <= kLongestBaseName) return name;
    const std::string hash = NameHash(modulePath);
    name.resize(std::min(name.size(), kLongestBaseName - hash.size() - 1));
    return name + L"-" + std::wstring(hash.begin(), hash.end());
}

std::string NameHash(const std::wstring& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char16_t unit : ToUtf16(text)) {
        hash = (hash ^ (unit & 0xFFu)) * 1099511628211ull;
        hash = (hash ^ (unit >> 8)) * 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name;
    for (int shift = 60; shift >= 0; shift -= 4) name += digits[hash >> shift & 0xF];
    return name;
}

std::wstring StartEventName(const std::wstring& baseName) { return baseName + L"_upr_evt"; }

std::wstring RequestLockName(const std::wstring& baseName) { return baseName + L"_request_lock"; }

std::size_t ArgumentBlockBytes(const std::vector<std::wstring>& arguments) {
    std::size_t bytes = 2;
    for (const std::wstring& argument : arguments) bytes += 2 * ToUtf16(argument).size() + 2;
    return bytes;
}

bool WriteArgumentBlock(unsigned char* block, const std::vector<std::wstring>& arguments) {
    if (ArgumentBlockBytes(arguments) > kArgumentsSize) return false;
    std::memset(block + kArgumentsOffset, 0, kArgumentsSize);
    std::size_t offset = kArgumentsOffset;
    for (const std::wstring& argument : arguments) {
        for (char16_t unit : ToUtf16(argument)) {
            PutUnit(block, offset, unit);
            offset += 2;
        }
        offset += 2;  // its NUL, already there
    }
    return true;
}

std::vector<std::wstring> ReadArgumentBlock(const unsigned char* block) {
    std::vector<std::wstring> arguments;
    std::u16string current;
    for (std::size_t offset = kArgumentsOffset; offset < kScanEnd; offset += 2) {
        char16_t unit = UnitAt(block, offset);
        if (unit != 0) {
            current += unit;
            continue;
        }
        arguments.push_back(FromUtf16(current));
        current.clear();
        if (UnitAt(block, offset + 2) == 0) break;
    }
    return arguments;
}

std::uint32_t ReadBlockField(const unsigned char* block, std::size_t offset) { return Get32(block + offset); }

void WriteBlockField(unsigned char* block, std::size_t offset, std::uint32_t value) { Set32(block + offset, value); }

void PublishListenerThreadId(unsigned char* block, std::uint32_t threadId) {
    std::atomic_thread_fence(std::memory_order_release);
    WriteBlockField(block, kListenerThreadIdOffset, threadId);
}

bool HeaderComplete(const unsigned char* block) {
    if (ReadBlockField(block, kListenerThreadIdOffset) == 0) return false;
    std::atomic_thread_fence(std::memory_order_acquire);
    return ReadBlockField(block, kPrimaryProcessIdOffset) != 0 && ReadBlockField(block, kMessageIdOffset) != 0;
}

}  // namespace zorv
