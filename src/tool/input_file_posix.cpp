#include "tool/input_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorv::tool {

// O_NONBLOCK lets the open of a pipe without a writer return at once; on a
// regular file it changes nothing.
InputRead InputFile::OpenRegular(const std::filesystem::path& path) {
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor_ < 0) return InputRead::unreadable;
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
        Close();
        return InputRead::unreadable;
    }
    if (!S_ISREG(status.st_mode)) {
        Close();
        return InputRead::notAFile;
    }
    size_ = static_cast<std::uint64_t>(status.st_size);
    return InputRead::read;
}

bool InputFile::Read(unsigned char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    while (true) {
        const ssize_t read = ::read(descriptor_, buffer, size);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) return false;
        got = static_cast<std::size_t>(read);
        return true;
    }
}

void InputFile::Close() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    size_ = 0;
}

}  // namespace zorv::tool
