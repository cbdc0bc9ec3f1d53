#include "tool/output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace zorv::tool {

// _O_EXCL asks for CREATE_NEW, which fails on any existing name, a link's
// included, without following it.
NewFile::Created NewFile::Create(const std::filesystem::path& path) {
    Close();
    descriptor_ = ::_wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (descriptor_ >= 0) return created;
    return errno == EEXIST ? nameTaken : failed;
}

bool NewFile::Write(const Bytes& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t chunk = bytes.size() - done < 0x40000000 ? bytes.size() - done : 0x40000000;
        const int written = ::_write(descriptor_, bytes.data() + done, static_cast<unsigned>(chunk));
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool NewFile::ReadBack(Bytes& bytes) {
    bytes.clear();
    if (::_lseeki64(descriptor_, 0, SEEK_SET) != 0) return false;
    unsigned char buffer[65536];
    while (true) {
        const int got = ::_read(descriptor_, buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool NewFile::Close() {
    if (descriptor_ < 0) return true;
    const bool committed = ::_commit(descriptor_) == 0;
    const bool closed = ::_close(descriptor_) == 0;
    descriptor_ = -1;
    return committed && closed;
}

}  // namespace zorv::tool
