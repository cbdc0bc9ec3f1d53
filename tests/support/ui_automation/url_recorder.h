// Records what a program opens through the shell's "open" of an http or
// https address, instead of starting a browser: while the recorder lives,
// the Wine prefix's handler for both protocols is the open_recorder program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uiauto {

// The open_recorder.exe built beside this library.
std::wstring OpenRecorderPath();

// Affects every program of the prefix: tests that use it take the prefix's
// registry lock. Wine reads the protocol handlers from HKEY_CLASSES_ROOT
// without the per-user classes, so the machine-wide keys are replaced.
class ScopedUrlRecorder {
public:
    explicit ScopedUrlRecorder(const std::wstring& recorderExe = OpenRecorderPath());
    // Puts the handlers back as they were.
    ~ScopedUrlRecorder();
    ScopedUrlRecorder(const ScopedUrlRecorder&) = delete;
    ScopedUrlRecorder& operator=(const ScopedUrlRecorder&) = delete;

    bool Installed() const { return installed_; }
    // The addresses opened so far, in order, once there are at least
    // `atLeast` of them or the time is over.
    std::vector<std::wstring> Opened(std::size_t atLeast = 1, std::uint32_t timeoutMs = 5000) const;

private:
    struct SavedCommand {
        std::wstring key;
        bool existed = false;
        std::uint32_t type = 0;
        std::wstring value;
    };
    std::vector<SavedCommand> saved_;
    std::wstring log_;
    bool installed_ = false;
};

}  // namespace uiauto
