// How zorvtool reads its inputs: a regular file only, at most kLargestInput
// bytes. A pipe would block the open until someone writes to it, and a device
// such as /dev/zero never ends; both are refused before a byte is read, and a
// file over the cap from its size alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/ini_document.h"

namespace zorv::tool {

enum class InputRead { read, notAFile, tooLarge, unreadable };

// What a refusal says after the file's name: "is larger than 1 GiB".
const char* InputProblem(InputRead result);

InputRead ReadWholeFile(const std::filesystem::path& path, std::string& bytes);
InputRead ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes);

// The INI file of a launcher, parsed as the launcher parses it; one that
// cannot be read parses as empty.
InputRead ReadSettingsFile(const std::filesystem::path& path, IniDocument& document);

// A regular file open for reading.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { Close(); }

    // Anything but a regular file is refused before it is opened, and again
    // from the open file itself, in case the name was changed in between.
    InputRead Open(const std::filesystem::path& path);
    // The size the file had when it was opened.
    std::uint64_t Size() const { return size_; }
    // Up to size bytes from where the last read ended; got is 0 at the end.
    bool Read(unsigned char* buffer, std::size_t size, std::size_t& got);
    void Close();

private:
    // The system half of Open: never waits, and tells a regular file.
    InputRead OpenRegular(const std::filesystem::path& path);

    int descriptor_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace zorv::tool
