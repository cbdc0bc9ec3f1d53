// What the benchmarks run under Wine share: host paths, the performance
// counter, whole files and the printed rows.
#pragma once

#include "launcher/win32_api.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zorv::bench {

// A Linux path as Wine's Z: drive sees it; any other path as it is.
inline std::wstring FromHostPath(std::wstring path) {
    if (path.empty() || path[0] != L'/') return path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

inline long long Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline std::string ReadAll(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

inline bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return written == bytes.size();
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One row of figures, the name padded to `width` characters.
inline void PrintRow(const char* name, const std::vector<double>& values, int width) {
    if (values.empty()) return;
    auto bounds = std::minmax_element(values.begin(), values.end());
    std::printf("  %-*s median %8.2f ms   min %8.2f   max %8.2f   (n=%zu)\n", width, name, Median(values),
                *bounds.first, *bounds.second, values.size());
}

}  // namespace zorv::bench
