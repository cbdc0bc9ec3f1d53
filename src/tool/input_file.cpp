#include "tool/input_file.h"

#include "launcher/utf8.h"
#include "tool/byte_range.h"

namespace zorv::tool {
namespace {

template <typename Container>
InputRead ReadWholeFileInto(const std::filesystem::path& path, Container& bytes) {
    bytes.clear();
    InputFile file;
    if (InputRead opened = file.Open(path); opened != InputRead::read) return opened;
    if (file.Size() > kLargestInput) return InputRead::tooLarge;
    bytes.reserve(static_cast<std::size_t>(file.Size()));
    unsigned char buffer[65536];
    for (;;) {
        std::size_t got = 0;
        if (!file.Read(buffer, sizeof buffer, got)) return InputRead::unreadable;
        if (got == 0) return InputRead::read;
        bytes.insert(bytes.end(), buffer, buffer + got);
        // The file may grow while it is read.
        if (bytes.size() > kLargestInput) return InputRead::tooLarge;
    }
}

}  // namespace

const char* InputProblem(InputRead result) {
    switch (result) {
        case InputRead::read:
            break;
        case InputRead::notAFile:
            return "is not a regular file (a folder, a pipe or a device)";
        case InputRead::tooLarge:
            return "is larger than 1 GiB";
        case InputRead::unreadable:
            return "cannot be read";
    }
    return "";
}

InputRead ReadWholeFile(const std::filesystem::path& path, std::string& bytes) { return ReadWholeFileInto(path, bytes); }

InputRead ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes) {
    return ReadWholeFileInto(path, bytes);
}

InputRead ReadSettingsFile(const std::filesystem::path& path, IniDocument& document) {
    std::string bytes;
    const InputRead read = ReadWholeFile(path, bytes);
    document = IniDocument(IniSyntax::settingsFile);
    document.Parse(DecodeSettingsText(read == InputRead::read ? bytes : std::string()));
    return read;
}

InputRead InputFile::Open(const std::filesystem::path& path) {
    Close();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) return InputRead::unreadable;
    if (!std::filesystem::is_regular_file(status)) return InputRead::notAFile;
    return OpenRegular(path);
}

}  // namespace zorv::tool
