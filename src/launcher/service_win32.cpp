// A launcher with "Application Type=service" under the Service Control
// Manager: one own-process service per executable. The control handler only
// records a stop request and wakes the watcher thread; the stop itself runs on
// a thread attached to the VM, and every status the manager hears follows what
// has really happened.
#include <aclapi.h>

#include <atomic>
#include <memory>

#include "launcher/file_locations.h"
#include "launcher/platform_win32.h"
#include "launcher/service.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "launcher/unique_handle.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

using ScopedService = UniqueHandle<ClosedBy<SC_HANDLE, CloseServiceHandle>>;

// How long the manager is told a stop may take beyond the stop timeout:
// the time to report the end once the process is done.
constexpr DWORD kStopReportMarginMs = 5000;

std::uint32_t LastError() { return GetLastError(); }

void Tell(Platform& platform, const wchar_t* format, std::initializer_list<FormatArgument> arguments) {
    platform.desktop().ShowErrorBox(nullptr, FormatPrintf(format, arguments));
}

class Win32ServiceManager : public ServiceManager {
public:
    explicit Win32ServiceManager(Trace* trace) : trace_(trace) { InitializeCriticalSection(&reporting_); }
    // Lives until the process ends: the watcher may still hold it.
    ~Win32ServiceManager() override = default;
    // Known only once the handler, which gets this object, is registered.
    void SetStatusHandle(SERVICE_STATUS_HANDLE status) { status_ = status; }

    void Starting(std::uint32_t waitHintMs) override {
        Report(SERVICE_START_PENDING, 0, NO_ERROR, 0, waitHintMs);
    }

    void Running(StopRoutine stop, void* context, std::uint32_t stopTimeoutMs) override {
        stop_ = stop;
        stopContext_ = context;
        stopTimeoutMs_ = stopTimeoutMs;
        stopRequested_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE watcher = stopRequested_ == nullptr ? nullptr : CreateThread(nullptr, 0, Watch, this, 0, nullptr);
        if (watcher == nullptr) {
            // Without a watcher nothing could carry a stop out: better not to offer one.
            Log(FormatPrintf(L"The service cannot take stop requests (no thread for them, error %d); it ends when the "
                             L"application ends.",
                             {LastError()}),
                true);
            Report(SERVICE_RUNNING, 0, NO_ERROR, 0, 0);
            return;
        }
        CloseHandle(watcher);
        Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN, NO_ERROR,
               0, 0);
        if (trace_) trace_->Line(L"service: running, stop requests accepted");
    }

    void Stopped(std::int32_t exitCode) override {
        if (stopped_.exchange(true)) return;
        if (trace_) trace_->Line(FormatPrintf(L"service: stopped with exit code %d", {exitCode}));
        const DWORD code = static_cast<DWORD>(exitCode);
        Report(SERVICE_STOPPED, 0, code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR, code, 0);
    }

    void Log(const std::wstring& text, bool warning) override {
        ReportUnseen(trace_, text, warning ? EVENTLOG_WARNING_TYPE : EVENTLOG_ERROR_TYPE);
    }

    // The control handler: records, wakes, and returns at once.
    static DWORD WINAPI Control(DWORD control, DWORD, void*, void* context) {
        auto* self = static_cast<Win32ServiceManager*>(context);
        switch (control) {
            case SERVICE_CONTROL_STOP:
            case SERVICE_CONTROL_SHUTDOWN:
            case SERVICE_CONTROL_PRESHUTDOWN:
                if (self->stopRequested_ == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
                if (!self->stopping_.exchange(true)) {
                    self->Report(SERVICE_STOP_PENDING, 0, NO_ERROR, 0, self->stopTimeoutMs_ + kStopReportMarginMs);
                    SetEvent(self->stopRequested_);
                }
                return NO_ERROR;
            case SERVICE_CONTROL_INTERROGATE:
                return NO_ERROR;
            default:
                return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

private:
    struct StopCall {
        StopRoutine stop;
        void* context;
    };

    static DWORD WINAPI CallStop(void* argument) {
        std::unique_ptr<StopCall> call(static_cast<StopCall*>(argument));
        call->stop(call->context);
        return 0;
    }

    // Waits for a stop request, has it carried out on a thread of its own,
    // and ends the process when the application has not ended in time.
    static DWORD WINAPI Watch(void* argument) {
        auto* self = static_cast<Win32ServiceManager*>(argument);
        WaitForSingleObject(self->stopRequested_, INFINITE);
        if (self->trace_) self->trace_->Line(L"service: stop requested");
        std::unique_ptr<StopCall> call(new StopCall{self->stop_, self->stopContext_});
        HANDLE caller = CreateThread(nullptr, 0, CallStop, call.get(), 0, nullptr);
        if (caller != nullptr) {
            call.release();
            CloseHandle(caller);
        }
        Sleep(self->stopTimeoutMs_);
        self->Log(FormatPrintf(L"The application did not end within %d s of the stop request (\"Stop Timeout\" in "
                               L"[Service]): the process was ended.",
                               {static_cast<std::uint32_t>(self->stopTimeoutMs_ / 1000)}),
                  true);
        self->Stopped(1);
        TerminateProcess(GetCurrentProcess(), 1);
        return 0;
    }

    void Report(DWORD state, DWORD accepted, DWORD win32Code, DWORD specificCode, DWORD waitHintMs) {
        EnterCriticalSection(&reporting_);
        SERVICE_STATUS status = {};
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        status.dwControlsAccepted = accepted;
        status.dwWin32ExitCode = win32Code;
        status.dwServiceSpecificExitCode = specificCode;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        status.dwCheckPoint = pending ? ++checkPoint_ : 0;
        status.dwWaitHint = waitHintMs;
        // Once stopped, nothing more: the manager may end the process any moment.
        if (state == SERVICE_STOPPED || !stopped_) SetServiceStatus(status_, &status);
        LeaveCriticalSection(&reporting_);
    }

    SERVICE_STATUS_HANDLE status_ = nullptr;
    Trace* trace_;
    CRITICAL_SECTION reporting_;
    DWORD checkPoint_ = 0;
    StopRoutine stop_ = nullptr;
    void* stopContext_ = nullptr;
    std::uint32_t stopTimeoutMs_ = kDefaultStopTimeoutMs;
    HANDLE stopRequested_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> stopped_{false};
};

// What the dispatcher's ServiceMain, which takes no context, needs: set by
// RunAsService on the main thread before the dispatcher starts it.
struct PendingService {
    Win32Platform* platform = nullptr;
    std::wstring name;
    ServiceBody body = nullptr;
    void* context = nullptr;
    std::int32_t exitCode = -1;
};
PendingService pending;

// The groups every ordinary user of the machine belongs to.
const WELL_KNOWN_SID_TYPE kOrdinaryUsers[] = {WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid};
const wchar_t* const kOrdinaryUserNames[] = {L"Everyone", L"Authenticated Users", L"Users"};

// Rights with which a file or folder can be changed, replaced or filled with
// files of one's own.
constexpr ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                        WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

}  // namespace

// The first group of ordinary users that may change path; empty when none
// may, or when the system does not say.
std::wstring OrdinaryUsersWhoCanChange(const std::wstring& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring who;
    if (dacl == nullptr) who = kOrdinaryUserNames[0];  // no list at all lets everybody do anything
    BYTE sids[3][SECURITY_MAX_SID_SIZE];
    ACCESS_MASK denied[3] = {};
    for (int g = 0; g < 3; ++g) {
        DWORD size = SECURITY_MAX_SID_SIZE;
        if (!CreateWellKnownSid(kOrdinaryUsers[g], nullptr, sids[g], &size)) sids[g][0] = 0;
    }
    for (DWORD i = 0; who.empty() && dacl != nullptr && i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) break;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        // Both kinds of entry share this layout.
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&ace->SidStart);
        for (int g = 0; g < 3; ++g) {
            if (sids[g][0] == 0 || !EqualSid(sid, sids[g])) continue;
            // The list is read in order: what an earlier entry denies stays denied.
            if (header->AceType == ACCESS_DENIED_ACE_TYPE) denied[g] |= ace->Mask;
            else if ((ace->Mask & kChangingRights & ~denied[g]) != 0) who = kOrdinaryUserNames[g];
        }
    }
    LocalFree(descriptor);
    return who;
}

namespace {

// The executable's folder, the executable and its settings file: what
// decides which code runs as the service's account.
bool FindChangeableFile(const std::wstring& executable, const std::wstring& settingsFile, std::wstring& path,
                        std::wstring& who) {
    const std::wstring candidates[] = {FolderOf(executable), executable, settingsFile};
    for (const std::wstring& candidate : candidates) {
        if (candidate.empty()) continue;
        who = OrdinaryUsersWhoCanChange(candidate);
        if (!who.empty()) {
            path = candidate;
            return true;
        }
    }
    return false;
}

std::wstring ExecutableOf(const ServicePlan& plan) {
    const std::wstring& line = plan.commandLine;
    return line.size() >= 2 && line.front() == L'"' && line.back() == L'"' ? line.substr(1, line.size() - 2) : line;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    Win32Platform& platform = *pending.platform;
    Trace* trace = platform.trace;
    // The manager's handle lives as long as the process.
    auto* manager = new Win32ServiceManager(trace);
    SERVICE_STATUS_HANDLE status =
        RegisterServiceCtrlHandlerExW(pending.name.c_str(), &Win32ServiceManager::Control, manager);
    if (status == 0) {
        if (trace) trace->Line(FormatPrintf(L"service: no control handler, error %d", {LastError()}));
        return;
    }
    manager->SetStatusHandle(status);
    manager->Starting(kDefaultStopTimeoutMs);
    // A service runs where nobody sees a window, whatever its window station says.
    platform.SetUnseen();
    std::wstring executable;
    SystemError error;
    if (platform.environment().ModuleFileName(executable, error)) {
        // The manager starts services in the system folder; relative files
        // of the service are its executable's neighbours.
        SetCurrentDirectoryW(FolderOf(executable).c_str());
        std::wstring settingsFile;
        std::wstring path;
        std::wstring who;
        if (SettingsFilePath(platform.Conventions(), executable, settingsFile) &&
            FindChangeableFile(executable, settingsFile, path, who)) {
            manager->Log(FormatPrintf(L"%s can change %s, and so run code of their own as this service's account. Let "
                                      L"ordinary users only read and run the service's files.",
                                      {who, path}),
                         true);
        }
    }
    pending.exitCode = pending.body(pending.context, *manager);
    manager->Stopped(pending.exitCode);
}

std::wstring DoubleNullList(const std::vector<std::wstring>& items) {
    std::wstring list;
    for (const std::wstring& item : items) list += item + L'\0';
    list += L'\0';
    return list;
}

// The optional parts of the registration; false with the step that failed.
bool ConfigureService(SC_HANDLE service, const ServicePlan& plan, std::wstring& step) {
    if (!plan.description.empty()) {
        SERVICE_DESCRIPTIONW description = {const_cast<wchar_t*>(plan.description.c_str())};
        step = L"its description";
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description)) return false;
    }
    if (plan.startType == ServiceStartType::delayedAutomatic) {
        SERVICE_DELAYED_AUTO_START_INFO delayed = {TRUE};
        step = L"the delayed start";
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed)) return false;
    }
    // Shutdown is a stop like any other, with the same time to end in.
    SERVICE_PRESHUTDOWN_INFO preshutdown = {plan.stopTimeoutMs + kStopReportMarginMs};
    step = L"the time it gets at shutdown";
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown)) return false;
    if (plan.restarts) {
        std::vector<SC_ACTION> actions(plan.restartCount, SC_ACTION{SC_ACTION_RESTART, plan.restartDelayMs});
        actions.push_back(SC_ACTION{SC_ACTION_NONE, 0});
        SERVICE_FAILURE_ACTIONSW failure = {};
        failure.dwResetPeriod = plan.resetSeconds;
        failure.cActions = static_cast<DWORD>(actions.size());
        failure.lpsaActions = actions.data();
        step = L"its restart after a failure";
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) return false;
        // An exit code other than 0 is a failure too, not only a crash.
        SERVICE_FAILURE_ACTIONS_FLAG flag = {TRUE};
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag)) return false;
    }
    return true;
}

const wchar_t kInstalling[] = L"Installing the service \"%s\"";
const wchar_t kRemoving[] = L"Removing the service \"%s\"";

std::int32_t RefusedForRights(Platform& platform, const wchar_t* what, const std::wstring& name) {
    Tell(platform, L"%s needs an administrator's rights: run it from an elevated prompt. Nothing was changed.",
         {FormatPrintf(what, {name})});
    return kServiceAccessDenied;
}

std::int32_t Failed(Platform& platform, const wchar_t* what, const std::wstring& name, const wchar_t* how,
                    std::uint32_t error) {
    Tell(platform, L"%s failed%s (error %d). Nothing was changed.", {FormatPrintf(what, {name}), how, error});
    return kServiceCommandFailed;
}

}  // namespace

bool Win32Processes::RunAsService(const ServiceRun& run, std::int32_t& exitCode) {
    if (!run.isService) return false;
    pending.platform = &platform_;
    pending.name = run.name;
    pending.body = run.body;
    pending.context = run.context;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(pending.name.c_str()), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        // Started from a prompt or a double-click: the same executable runs
        // as any program, so that it can be tried by hand.
        if (Trace* trace = platform_.trace) {
            trace->Line(FormatPrintf(L"service: not started by the service manager (error %d), running as a program",
                                     {LastError()}));
        }
        return false;
    }
    exitCode = pending.exitCode;
    return true;
}

std::int32_t Win32Processes::InstallService(const ServicePlan& plan, const std::wstring& settingsFile) {
    std::wstring path;
    std::wstring who;
    if (FindChangeableFile(ExecutableOf(plan), settingsFile, path, who)) {
        Tell(platform_,
             L"The service \"%s\" is not installed: %s can change %s, and so run code of their own as the service's "
             L"account. Let ordinary users only read and run the service's files (as under C:\\Program Files), then "
             L"install it again.",
             {plan.name, who, path});
        return kServiceCommandFailed;
    }
    ScopedService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) return RefusedForRights(platform_, kInstalling, plan.name);
        return Failed(platform_, kInstalling, plan.name, L": the service manager cannot be reached", error);
    }
    const std::wstring dependencies = DoubleNullList(plan.dependencies);
    const DWORD startType = plan.startType == ServiceStartType::manual ? SERVICE_DEMAND_START : SERVICE_AUTO_START;
    ScopedService service(CreateServiceW(manager.get(), plan.name.c_str(), plan.displayName.c_str(),
                                         SERVICE_CHANGE_CONFIG | DELETE, SERVICE_WIN32_OWN_PROCESS, startType,
                                         SERVICE_ERROR_NORMAL, plan.commandLine.c_str(), nullptr, nullptr,
                                         dependencies.c_str(), plan.account.empty() ? nullptr : plan.account.c_str(),
                                         nullptr));
    if (!service) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) return RefusedForRights(platform_, kInstalling, plan.name);
        if (error == ERROR_SERVICE_EXISTS || error == ERROR_DUPLICATE_SERVICE_NAME) {
            Tell(platform_,
                 L"The service \"%s\" is installed already; nothing was changed. Remove it first with %s to "
                 L"install it anew.",
                 {plan.name, kRemoveServiceSwitch});
            return kServiceAlreadyInstalled;
        }
        return Failed(platform_, kInstalling, plan.name, L"", error);
    }
    std::wstring step;
    if (!ConfigureService(service.get(), plan, step)) {
        const DWORD error = GetLastError();
        DeleteService(service.get());
        return Failed(platform_, kInstalling, plan.name,
                      FormatPrintf(L": the service manager refused %s", {step}).c_str(), error);
    }
    const std::wstring done = FormatPrintf(L"The service \"%s\" is installed: %s", {plan.name, plan.commandLine});
    platform_.desktop().WriteNotice(done);
    if (Trace* trace = platform_.trace) trace->Line(L"service: " + done);
    return kServiceCommandDone;
}

std::int32_t Win32Processes::RemoveService(const std::wstring& name) {
    ScopedService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) return RefusedForRights(platform_, kRemoving, name);
        return Failed(platform_, kRemoving, name, L": the service manager cannot be reached", error);
    }
    ScopedService service(OpenServiceW(manager.get(), name.c_str(), DELETE | SERVICE_QUERY_STATUS));
    DWORD error = service ? ERROR_SUCCESS : GetLastError();
    if (service && !DeleteService(service.get())) error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) return RefusedForRights(platform_, kRemoving, name);
    if (error == ERROR_SERVICE_DOES_NOT_EXIST || error == ERROR_SERVICE_MARKED_FOR_DELETE) {
        Tell(platform_, L"The service \"%s\" is not installed; nothing was changed.", {name});
        return kServiceNotInstalled;
    }
    if (error != ERROR_SUCCESS) return Failed(platform_, kRemoving, name, L"", error);
    SERVICE_STATUS status = {};
    const bool running = QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
    const std::wstring done =
        FormatPrintf(running ? L"The service \"%s\" is removed; it goes once it has stopped (net stop %s)."
                             : L"The service \"%s\" is removed.",
                     {name, name});
    platform_.desktop().WriteNotice(done);
    if (Trace* trace = platform_.trace) trace->Line(L"service: " + done);
    return kServiceCommandDone;
}

}  // namespace zorv
