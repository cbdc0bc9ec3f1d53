#include "tool/input_file.h"

#include <fcntl.h>
#include <io.h>

#include "launcher/win32_api.h"

namespace zorv::tool {

// Opening a pipe's name connects to it or fails at once; what the open gives
// is a file on a disk only when GetFileType says so, not a pipe or a console.
InputRead InputFile::OpenRegular(const std::filesystem::path& path) {
    descriptor_ = ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (descriptor_ < 0) return InputRead::unreadable;
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        Close();
        return InputRead::notAFile;
    }
    const long long size = ::_filelengthi64(descriptor_);
    if (size < 0) {
        Close();
        return InputRead::unreadable;
    }
    size_ = static_cast<std::uint64_t>(size);
    return InputRead::read;
}

bool InputFile::Read(unsigned char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    const unsigned chunk = size < 0x40000000 ? static_cast<unsigned>(size) : 0x40000000u;
    const int read = ::_read(descriptor_, buffer, chunk);
    if (read < 0) return false;
    got = static_cast<std::size_t>(read);
    return true;
}

void InputFile::Close() {
    if (descriptor_ >= 0) ::_close(descriptor_);
    descriptor_ = -1;
    size_ = 0;
}

}  // namespace zorv::tool
