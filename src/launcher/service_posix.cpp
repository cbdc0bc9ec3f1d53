// zorv under systemd: READY=1 on the notification socket once main has been
// called (Type=notify units), STOPPING=1 and the exit status as the
// application ends. SIGTERM stays the runtime's, as under java (shutdown
// hooks, exit status 143), unless a stop method is set: then the launcher
// takes SIGTERM and calls it on a thread of its own.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "launcher/platform_posix.h"
#include "launcher/trace.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

// The write end of the pipe the SIGTERM handler wakes the watcher through.
std::atomic<int> stopSignalWriter{-1};

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    const int writer = stopSignalWriter.load();
    if (writer >= 0 && write(writer, &byte, 1) < 0) {
        // Nothing to do in a signal handler; a second SIGTERM tries again.
    }
    errno = saved;
}

class SystemdServiceManager : public ServiceManager {
public:
    SystemdServiceManager(std::string socketPath, bool takesStopSignal, Trace* trace)
        : socketPath_(std::move(socketPath)), takesStopSignal_(takesStopSignal), trace_(trace) {}

    void Starting(std::uint32_t) override {}

    void Running(StopRoutine stop, void* context, std::uint32_t stopTimeoutMs) override {
        if (takesStopSignal_) TakeStopSignal(stop, context, stopTimeoutMs);
        Notify("READY=1");
        if (trace_) trace_->Line(L"service: told the service manager READY=1");
    }

    void Stopped(std::int32_t exitCode) override {
        if (stopped_.exchange(true)) return;
        Stopping();
        Notify("EXIT_STATUS=" + std::to_string(exitCode & 0xFF));
        if (trace_) trace_->Line(FormatPrintf(L"service: stopped with exit code %d", {exitCode}));
    }

    void Log(const std::wstring& text, bool warning) override {
        // systemd reads a leading <N> on standard error as the line's priority.
        const std::string line = (warning ? "<4>" : "<3>") + ToUtf8(text) + "\n";
        if (write(STDERR_FILENO, line.data(), line.size()) < 0) {
            // Nobody to tell.
        }
        if (trace_) trace_->Line(L"service: to the log: " + text);
    }

    bool LogIsStandardError() const override { return true; }

private:
    void Stopping() {
        if (!stoppingSaid_.exchange(true)) Notify("STOPPING=1");
    }

    // One datagram to the socket systemd named; a path, or with "@" a name
    // in the abstract namespace. Nothing happens without one.
    void Notify(const std::string& message) {
        if (socketPath_.empty() || socketPath_.size() >= sizeof(sockaddr_un::sun_path)) return;
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socketPath_.data(), socketPath_.size());
        if (address.sun_path[0] == '@') address.sun_path[0] = '\0';
        const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath_.size());
        const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (socket < 0) return;
        if (sendto(socket, message.data(), message.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                   length) < 0 &&
            trace_) {
            trace_->Line(FormatPrintf(L"service: the notification socket refused %s (errno %d)",
                                      {FromUtf8(message), errno}));
        }
        close(socket);
    }

    // The handler only wakes the watcher, which has the stop carried out on
    // a thread of its own and ends the process when it takes too long.
    void TakeStopSignal(StopRoutine stop, void* context, std::uint32_t stopTimeoutMs) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return;
        stopSignalWriter = ends[1];
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        const int reader = ends[0];
        std::thread([this, reader, stop, context, stopTimeoutMs] {
            char byte = 0;
            while (read(reader, &byte, 1) < 0 && errno == EINTR) {
            }
            if (trace_) trace_->Line(L"service: SIGTERM, stop requested");
            Stopping();
            std::thread(stop, context).detach();
            std::this_thread::sleep_for(std::chrono::milliseconds(stopTimeoutMs));
            Log(FormatPrintf(L"The application did not end within %d s of SIGTERM (\"Stop Timeout\" in [Service]): "
                             L"the process was ended.",
                             {static_cast<std::uint32_t>(stopTimeoutMs / 1000)}),
                true);
            Stopped(1);
            _exit(1);
        }).detach();
    }

    const std::string socketPath_;
    const bool takesStopSignal_;
    Trace* trace_;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> stoppingSaid_{false};
};

}  // namespace

bool PosixProcesses::RunAsService(const ServiceRun& run, std::int32_t& exitCode) {
    const char* notify = std::getenv("NOTIFY_SOCKET");
    std::string socketPath = notify == nullptr ? std::string() : std::string(notify);
    const bool takesStopSignal = run.isService && run.stopMethod;
    if (socketPath.empty() && !takesStopSignal) return false;
    // The application's own children must not speak for this process.
    unsetenv("NOTIFY_SOCKET");
    // Ignored while the VM starts, SIGTERM is one the runtime leaves alone;
    // the launcher takes it once main is called.
    if (takesStopSignal) signal(SIGTERM, SIG_IGN);
    Trace* trace = platform_.trace;
    if (trace) {
        trace->Line(L"service: " + (socketPath.empty() ? std::wstring(L"no notification socket")
                                                       : L"notification socket " + FromUtf8(socketPath)) +
                    (takesStopSignal ? L", SIGTERM calls the stop method" : L", SIGTERM is the runtime's"));
    }
    SystemdServiceManager* manager = new SystemdServiceManager(std::move(socketPath), takesStopSignal, trace);
    // Threads the manager starts may outlive this call; it stays for the process's life.
    exitCode = run.body(run.context, *manager);
    manager->Stopped(exitCode);
    return true;
}

std::int32_t PosixProcesses::InstallService(const ServicePlan&, const std::wstring&) {
    return RefuseServiceCommand(platform_.desktop());
}

std::int32_t PosixProcesses::RemoveService(const std::wstring&) { return RefuseServiceCommand(platform_.desktop()); }

}  // namespace zorv
