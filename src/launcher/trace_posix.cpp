// Where the trace goes on Linux: ZORV_LAUNCHER_DEBUG=1 writes it to standard
// output, any other value names a file that the lines are appended to.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "launcher/platform_posix.h"
#include "launcher/trace.h"

namespace zorv {
namespace {

// Each line is one unbuffered write: a start that ends in the VM's own exit,
// or in a crash, still leaves every line before it.
class DescriptorSink : public TraceSink {
public:
    DescriptorSink(int descriptor, bool owned) : descriptor_(descriptor), owned_(owned) {}
    ~DescriptorSink() override {
        if (owned_) close(descriptor_);
    }
    void Write(const std::wstring& line) override {
        // The launcher writes paths with "\" between folders; they read as Linux paths here.
        std::string bytes = NativePath(line) + "\n";
        ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
        (void)written;  // a trace that cannot be written is dropped
    }

private:
    int descriptor_;
    bool owned_;
};

}  // namespace

std::unique_ptr<Trace> OpenLauncherTrace() {
    const char* value = std::getenv("ZORV_LAUNCHER_DEBUG");
    if (value == nullptr || *value == '\0') return nullptr;
    if (std::string(value) == "1") return std::make_unique<Trace>(std::make_unique<DescriptorSink>(STDOUT_FILENO, false));
    // The trace holds the whole command line: it is this user's to read
    // alone, and a link or another user's file planted at its name is not
    // written through.
    int file = open(value, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat info = {};
    if (file >= 0 && (fstat(file, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid())) {
        close(file);
        file = -1;
    }
    // A file that cannot be opened leaves the start exactly as without a trace.
    if (file < 0) return nullptr;
    return std::make_unique<Trace>(std::make_unique<DescriptorSink>(file, true));
}

}  // namespace zorv
