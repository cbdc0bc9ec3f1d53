// The single-instance channel on Linux: a local socket named from the
// executable's path, in a folder of this user's alone: zorv-<uid> in
// $XDG_RUNTIME_DIR, else in /tmp. Other users can neither reach the socket
// nor plant a file or link where the launcher looks; when the folder cannot
// be trusted, the start goes on without the mode.
//
// The first instance listens on it. A second start connects, sends its
// argument block and reads a 4-byte reply: secondaryMain's value, or the
// first process's exit status when that ends first; a reply from
// secondaryMain's side is followed by 4 more bytes, its ReplyKind. The listener takes one
// request at a time, so the block holds one request's arguments from their
// arrival until the reply, as the request lock keeps it on Windows; the
// others wait in the socket's queue, and none is lost.
//
// Which start is the first is decided under a lock file beside the socket, so
// two starts at once cannot both listen, and a socket left by a process that
// died is taken over.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "instance/single_instance_block.h"
#include "launcher/platform_posix.h"

namespace zorv {
namespace {

// How long a connected start may take to send all its arguments: a client
// that trickles them cannot hold the listener longer.
constexpr std::chrono::seconds kRequestTime{5};
// How long a start waits for another that decides, under the lock, whether
// it is the first: that takes milliseconds.
constexpr std::chrono::seconds kLockWait{5};

// A second start's wait has these ids in place of the Windows thread and
// message ids: there is one listener and one kind of message.
constexpr std::uint32_t kListenerId = 1;
constexpr std::uint32_t kMessageId = 1;

bool SendAll(int socket, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = send(socket, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int socket, void* data, std::size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t received = recv(socket, bytes, size, 0);
        if (received <= 0) return false;
        bytes += received;
        size -= static_cast<std::size_t>(received);
    }
    return true;
}

// Reads until size bytes came or the deadline passed, however they trickle in.
bool ReceiveBefore(int socket, void* data, std::size_t size, std::chrono::steady_clock::time_point deadline) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait = {socket, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0) return false;
        ssize_t received = recv(socket, bytes, size, MSG_DONTWAIT);
        if (received <= 0) {
            if (received < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            return false;
        }
        bytes += received;
        size -= static_cast<std::size_t>(received);
    }
    return true;
}

bool PeerIsThisUser(int socket, pid_t* process = nullptr) {
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) return false;
    if (process != nullptr) *process = peer.pid;
    return true;
}

// The requests taken from the socket and not yet answered, across the
// channel's life and beyond: a request left without a reply gets the exit
// status when the process ends, as a second start on Windows gets the first
// process's exit code. Never destroyed, since the exit handler may run after
// static objects are gone.
class PendingReplies {
public:
    static PendingReplies& Instance() {
        static PendingReplies* instance = new PendingReplies;
        return *instance;
    }

    void Add(std::uint32_t token, int socket) {
        std::lock_guard<std::mutex> guard(lock_);
        Hook();
        waiting_.emplace_back(token, socket);
    }

    // Sends the reply to the request and closes it; false when it was answered already.
    bool Reply(std::uint32_t token, std::int32_t value, ReplyKind kind) {
        std::lock_guard<std::mutex> guard(lock_);
        for (std::size_t i = 0; i < waiting_.size(); ++i) {
            if (waiting_[i].first != token) continue;
            const std::int32_t reply[] = {value, static_cast<std::int32_t>(kind)};
            SendAll(waiting_[i].second, reply, sizeof reply);
            close(waiting_[i].second);
            waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
        return false;
    }

    // Connections still queued on `listener` when the process ends are answered too.
    void SetListener(int listener) {
        std::lock_guard<std::mutex> guard(lock_);
        Hook();
        listener_ = listener;
    }

    // Answers every request taken or queued with the exit code: at the
    // process's end, or before it for a process that will not reach its exit
    // handlers.
    void AnswerAll(std::int32_t exitCode) {
        int listener = -1;
        {
            std::lock_guard<std::mutex> guard(lock_);
            listener = listener_;
        }
        if (listener >= 0) TakeQueued(listener);
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& request : waiting_) {
            SendAll(request.second, &exitCode, sizeof exitCode);
            close(request.second);
        }
        waiting_.clear();
    }

    // Takes every connection still queued on the listener as a request to
    // answer at the end.
    void TakeQueued(int listener) {
        int flags = fcntl(listener, F_GETFL);
        fcntl(listener, F_SETFL, flags | O_NONBLOCK);
        for (int queued; (queued = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) Add(0, queued);
        fcntl(listener, F_SETFL, flags);
    }

private:
    void Hook() {
        if (!hooked_) hooked_ = on_exit(AtExit, this) == 0;
    }

    static void AtExit(int status, void* argument) { static_cast<PendingReplies*>(argument)->AnswerAll(status); }

    std::mutex lock_;
    std::vector<std::pair<std::uint32_t, int>> waiting_;
    int listener_ = -1;
    bool hooked_ = false;
};

bool OwnedByThisUserAlone(const struct stat& info) { return info.st_uid == getuid() && (info.st_mode & 077) == 0; }

// The folder holding this user's channels, made and checked here; empty with
// the reason when it cannot be trusted. Its parent must be one that other
// users cannot rename things in, such as /tmp with its sticky bit.
std::string ChannelFolder(std::wstring& reason) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string parent = runtime != nullptr && runtime[0] == '/' ? runtime : "/tmp";
    const std::string folder = parent + "/zorv-" + std::to_string(getuid());
    struct stat info = {};
    if (lstat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        (info.st_uid != getuid() && info.st_uid != 0) || ((info.st_mode & 022) != 0 && (info.st_mode & S_ISVTX) == 0)) {
        reason = FromUtf8(parent) + L" is not a folder that only this user and the system can change";
        return std::string();
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = FromUtf8(folder) + L" cannot be made";
        return std::string();
    }
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || !OwnedByThisUserAlone(info)) {
        reason = FromUtf8(folder) + L" is not a folder of this user's alone (mode 0700, no link)";
        return std::string();
    }
    return folder;
}

// The socket's path without its ending; empty, with the reason, when there is none to trust.
std::string ChannelPath(const std::wstring& name, std::wstring& reason) {
    const std::string folder = ChannelFolder(reason);
    if (folder.empty()) return folder;
    std::string path = folder + "/" + NameHash(name);
    if (path.size() + 8 < sizeof(sockaddr_un{}.sun_path)) return path;
    reason = FromUtf8(folder) + L" is too long a folder for a socket";
    return std::string();
}

// The lock file, opened without following a link and held; -1 with the
// reason when it is not this user's alone or stays locked too long.
int HoldLockFile(const std::string& path, std::wstring& reason) {
    int lock = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat info = {};
    if (lock < 0 || fstat(lock, &info) != 0 || !S_ISREG(info.st_mode) || !OwnedByThisUserAlone(info)) {
        reason = FromUtf8(path) + L" is not a file of this user's alone";
        if (lock >= 0) close(lock);
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            reason = FromUtf8(path) + L" stayed locked";
            close(lock);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lock;
}

sockaddr_un Address(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

class PosixInstanceChannel : public InstanceChannel {
public:
    PosixInstanceChannel() : block_(kInstanceBlockSize) {}

    ~PosixInstanceChannel() override {
        {
            std::lock_guard<std::mutex> guard(state_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (wake_[1] >= 0) {
            char stop = 0;
            ssize_t written = write(wake_[1], &stop, 1);
            (void)written;  // the pipe is empty; one byte always fits
        }
        if (listener_.joinable()) listener_.join();
        // Requests still waiting for main are let go: the VM is gone by now,
        // so they end without calling anything.
        startEvent_.Set();
        for (std::thread& request : requests_) request.join();
        if (listening_ >= 0) StopListening();
        for (int descriptor : {connection_, wake_[0], wake_[1], lock_}) {
            if (descriptor >= 0) close(descriptor);
        }
    }

    unsigned char* OpenBlock(const std::wstring& name, std::size_t size, bool& existed) override {
        std::string path = ChannelPath(name, reason);
        if (path.empty() || size != block_.size()) return nullptr;
        socketPath_ = path + ".socket";
        lock_ = HoldLockFile(path + ".lock", reason);
        if (lock_ < 0) return nullptr;
        bool opened = Connect() || Listen();
        flock(lock_, LOCK_UN);
        existed = connection_ >= 0;
        return opened ? block_.data() : nullptr;
    }

    bool CreateStartEvent(const std::wstring&) override { return true; }
    void SetStartEvent() override { startEvent_.Set(); }
    std::uint32_t RegisterMessage(const std::wstring&) override { return kMessageId; }
    std::uint32_t CurrentProcessId() override { return static_cast<std::uint32_t>(getpid()); }

    std::uint32_t StartListener(std::uint32_t, RequestRoutine serve, void* context) override {
        serve_ = serve;
        context_ = context;
        if (pipe2(wake_, O_CLOEXEC) != 0) return 0;
        PendingReplies::Instance().SetListener(listening_);
        listener_ = std::thread(&PosixInstanceChannel::ListenerThread, this);
        return kListenerId;
    }

    bool WaitForStartEvent() override {
        startEvent_.Wait();
        return true;
    }

    // The socket's name goes, under the lock, so that a start either
    // connected before (and is answered) or listens itself; the listener and
    // the request threads are left as they are.
    void Withdraw(std::int32_t exitCode) override {
        if (listening_ < 0) return;
        bool locked = flock(lock_, LOCK_EX) == 0;
        unlink(socketPath_.c_str());
        if (locked) flock(lock_, LOCK_UN);
        PendingReplies::Instance().AnswerAll(exitCode);
    }

    bool PostReply(std::uint32_t token, std::uint32_t, std::int32_t value, ReplyKind kind) override {
        if (!PendingReplies::Instance().Reply(token, value, kind)) return false;
        {
            std::lock_guard<std::mutex> guard(state_);
            repliedToken_ = token;
        }
        changed_.notify_all();
        return true;
    }

    // The wait for the reply ends with the first process too; no handle is needed.
    bool OpenFirstProcess(std::uint32_t) override { return true; }
    // The first instance takes one request at a time.
    bool LockRequests(const std::wstring&) override { return true; }

    bool PostRequest(std::uint32_t, std::uint32_t) override {
        return SendAll(connection_, block_.data() + kArgumentsOffset, kArgumentsSize);
    }

    // -1 when the first process ended without a word: it was killed or crashed.
    // An exit status comes alone; a reply of the request thread says its kind.
    std::int32_t WaitForReply(std::uint32_t, ReplyKind& kind) override {
        std::int32_t reply = -1;
        if (!ReceiveAll(connection_, &reply, sizeof reply)) return -1;
        std::uint32_t said = 0;
        if (ReceiveAll(connection_, &said, sizeof said) && said == static_cast<std::uint32_t>(ReplyKind::noSecondaryMain)) {
            kind = ReplyKind::noSecondaryMain;
        }
        return reply;
    }

private:
    // A second start: the first instance is listening. Its header is known at
    // once: its process from the socket, and the fixed ids.
    bool Connect() {
        struct stat info = {};
        if (lstat(socketPath_.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != getuid()) return false;
        int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connection < 0) return false;
        sockaddr_un address = Address(socketPath_);
        pid_t first = 0;
        if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            !PeerIsThisUser(connection, &first)) {
            close(connection);
            return false;
        }
        connection_ = connection;
        WriteBlockField(block_.data(), kMessageIdOffset, kMessageId);
        WriteBlockField(block_.data(), kPrimaryProcessIdOffset, static_cast<std::uint32_t>(first));
        PublishListenerThreadId(block_.data(), kListenerId);
        return true;
    }

    // The first start: nobody answers, so any socket there was left by a
    // process that ended.
    bool Listen() {
        unlink(socketPath_.c_str());
        int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listening < 0) return false;
        sockaddr_un address = Address(socketPath_);
        mode_t mask = umask(077);
        bool bound = bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        umask(mask);
        if (!bound || listen(listening, SOMAXCONN) != 0) {
            close(listening);
            return false;
        }
        listening_ = listening;
        return true;
    }

    // Nobody connects once the socket is gone; those who did before are
    // answered at the end. Under the lock, so no start takes the socket's
    // name in between.
    void StopListening() {
        bool locked = flock(lock_, LOCK_EX) == 0;
        unlink(socketPath_.c_str());
        PendingReplies::Instance().TakeQueued(listening_);
        PendingReplies::Instance().SetListener(-1);
        close(listening_);
        listening_ = -1;
        if (locked) flock(lock_, LOCK_UN);
    }

    void ListenerThread() {
        for (;;) {
            pollfd waits[] = {{listening_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (poll(waits, 2, -1) < 0 || waits[1].revents != 0 || Stopping()) return;
            int request = accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
            if (request < 0) continue;
            if (!PeerIsThisUser(request) || !ReceiveBefore(request, block_.data() + kArgumentsOffset, kArgumentsSize,
                                                           std::chrono::steady_clock::now() + kRequestTime)) {
                close(request);
                continue;
            }
            Serve(request);
        }
    }

    // Runs the request on a thread of its own and waits until it is answered
    // or its thread gave up without an answer.
    void Serve(int request) {
        const std::uint32_t token = ++lastToken_;
        PendingReplies::Instance().Add(token, request);
        ForgetEndedRequests();
        auto ended = std::make_shared<std::atomic<bool>>(false);
        requests_.emplace_back([this, token, ended] {
            serve_(context_, token);
            {
                std::lock_guard<std::mutex> guard(state_);
                ended->store(true);
            }
            changed_.notify_all();
        });
        requestEnded_.push_back(ended);
        std::unique_lock<std::mutex> guard(state_);
        changed_.wait(guard, [&] { return stopping_ || repliedToken_ == token || ended->load(); });
    }

    void ForgetEndedRequests() {
        for (std::size_t i = 0; i < requests_.size();) {
            if (!requestEnded_[i]->load()) {
                ++i;
                continue;
            }
            requests_[i].join();
            requests_.erase(requests_.begin() + static_cast<std::ptrdiff_t>(i));
            requestEnded_.erase(requestEnded_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }

    bool Stopping() {
        std::lock_guard<std::mutex> guard(state_);
        return stopping_;
    }

    std::vector<unsigned char> block_;
    std::string socketPath_;
    int lock_ = -1;
    int listening_ = -1;
    int connection_ = -1;
    int wake_[2] = {-1, -1};
    PosixEvent startEvent_;
    RequestRoutine serve_ = nullptr;
    void* context_ = nullptr;
    std::thread listener_;
    std::vector<std::thread> requests_;
    std::vector<std::shared_ptr<std::atomic<bool>>> requestEnded_;
    std::uint32_t lastToken_ = 0;
    std::mutex state_;
    std::condition_variable changed_;
    std::uint32_t repliedToken_ = 0;
    bool stopping_ = false;
};

}  // namespace

std::unique_ptr<InstanceChannel> NewPosixInstanceChannel() { return std::make_unique<PosixInstanceChannel>(); }

}  // namespace zorv
