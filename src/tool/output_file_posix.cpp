#include "tool/output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zorv::tool {

NewFile::Created NewFile::Create(const std::filesystem::path& path) {
    Close();
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor_ >= 0) return created;
    return errno == EEXIST ? nameTaken : failed;
}

bool NewFile::Write(const Bytes& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool NewFile::ReadBack(Bytes& bytes) {
    bytes.clear();
    if (::lseek(descriptor_, 0, SEEK_SET) != 0) return false;
    unsigned char buffer[65536];
    while (true) {
        const ssize_t got = ::read(descriptor_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool NewFile::Close() {
    if (descriptor_ < 0) return true;
    const bool synced = ::fsync(descriptor_) == 0;
    const bool closed = ::close(descriptor_) == 0;
    descriptor_ = -1;
    return synced && closed;
}

}  // namespace zorv::tool
