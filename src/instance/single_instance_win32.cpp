// The single-instance channel's OS objects: a mapping on the paging file, a
// registered thread message, the start event, the listener and request
// threads in the first instance; the first process and the request lock in a
// second one. Every handle has its owner here.
//
// The named objects are made for this user alone (an owner-only DACL), and an
// object that exists already is used only when this user owns it; the first
// process named in the block is trusted only when it runs this executable in
// this session as this user. Anything else turns the mode off or refuses the
// request, rather than hand arguments to another program.
#include <memory>
#include <utility>
#include <vector>

#include "instance/single_instance_block.h"
#include "launcher/platform_win32.h"
#include "launcher/text.h"
#include "launcher/unique_handle.h"

namespace zorv {
namespace {

// The user a process runs as; no SID when its token cannot be read.
class ProcessUser {
public:
    explicit ProcessUser(HANDLE process) {
        HANDLE token = nullptr;
        DWORD size = 0;
        if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return;
        ScopedHandle owned(token);
        if (GetTokenInformation(token, TokenUser, buffer_, sizeof buffer_, &size)) {
            sid_ = reinterpret_cast<TOKEN_USER*>(buffer_)->User.Sid;
        }
    }
    PSID Sid() const { return sid_; }
    bool Is(PSID other) const { return sid_ != nullptr && other != nullptr && EqualSid(sid_, other); }

private:
    alignas(8) unsigned char buffer_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    PSID sid_ = nullptr;
};

// A path without the "\\\\?\\" that some starts put before it.
const wchar_t* Plain(const wchar_t* path) { return wcsncmp(path, L"\\\\?\\", 4) == 0 ? path + 4 : path; }

// Security attributes that let this process's user alone open what they name.
class OwnerOnly {
public:
    OwnerOnly() : user_(GetCurrentProcess()) {
        PSID sid = user_.Sid();
        ACL* acl = reinterpret_cast<ACL*>(acl_);
        valid_ = sid != nullptr && InitializeAcl(acl, sizeof acl_, ACL_REVISION) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
                 InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorOwner(&descriptor_, sid, FALSE) &&
                 SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    }
    // Null, and so nothing made, when the user or the descriptor is unknown.
    SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }

    // Whether this user owns the object: the creator of one that existed.
    bool Owns(HANDLE object) const {
        alignas(8) unsigned char descriptor[sizeof(SECURITY_DESCRIPTOR) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        PSID owner = nullptr;
        BOOL defaulted = FALSE;
        return GetKernelObjectSecurity(object, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor, &size) &&
               GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && user_.Is(owner);
    }

    const ProcessUser& User() const { return user_; }

private:
    ProcessUser user_;
    alignas(8) unsigned char acl_[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
    bool valid_ = false;
};

struct Request {
    RequestRoutine serve;
    void* context;
    std::uint32_t requesterThreadId;
};

DWORD WINAPI RequestThread(void* parameter) {
    std::unique_ptr<Request> request(static_cast<Request*>(parameter));
    return request->serve(request->context, request->requesterThreadId) ? 0 : 1;
}

class Win32InstanceChannel : public InstanceChannel {
public:
    explicit Win32InstanceChannel(std::wstring modulePath)
        : modulePath_(std::move(modulePath)) {}

    ~Win32InstanceChannel() override {
        StopListener();
        // Requests still waiting for main are let go: the VM is gone by now,
        // so they end without calling anything, before the block goes away.
        if (startEvent_) SetEvent(startEvent_.get());
        for (const RunningRequest& request : requests_) WaitForSingleObject(request.thread.get(), INFINITE);
        if (lockHeld_) ReleaseMutex(lock_.get());
    }

    // A block withdrawn by an ending first instance is taken over: that
    // instance uses it no more, and may outlive this start (a console
    // launcher waits for the start it made).
    unsigned char* OpenBlock(const std::wstring& name, std::size_t size, bool& existed) override {
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security_.Attributes(), PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size), name.c_str()));
        existed = GetLastError() == ERROR_ALREADY_EXISTS;
        if (!mapping_) return nullptr;
        if (!security_.Owns(mapping_.get())) {
            reason = L"the shared block " + name + L" belongs to another user";
            mapping_.reset();
            return nullptr;
        }
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, size));
        unsigned char* block = Block();
        if (block != nullptr && existed && ReadBlockField(block, kListenerThreadIdOffset) == kWithdrawnListenerThreadId)
            existed = false;
        return block;
    }

    bool CreateStartEvent(const std::wstring& name) override {
        startEvent_.reset(Mine(CreateEventW(security_.Attributes(), TRUE, FALSE, name.c_str())));
        return static_cast<bool>(startEvent_);
    }
    void SetStartEvent() override {
        if (startEvent_) SetEvent(startEvent_.get());
    }

    std::uint32_t RegisterMessage(const std::wstring& name) override { return RegisterWindowMessageW(name.c_str()); }

    std::uint32_t CurrentProcessId() override { return GetCurrentProcessId(); }

    std::uint32_t StartListener(std::uint32_t message, RequestRoutine serve, void* context) override {
        message_ = message;
        serve_ = serve;
        context_ = context;
        listenerReady_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!listenerReady_) return 0;
        DWORD id = 0;
        listener_.reset(CreateThread(nullptr, 0, ListenerThread, this, 0, &id));
        if (!listener_) return 0;
        // A request posted before the listener has a queue would be refused.
        HANDLE readyOrEnded[] = {listenerReady_.get(), listener_.get()};
        if (WaitForMultipleObjects(2, readyOrEnded, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
        listenerId_ = id;
        return id;
    }

    bool WaitForStartEvent() override {
        return startEvent_ && WaitForSingleObject(startEvent_.get(), INFINITE) == WAIT_OBJECT_0;
    }

    // The listener ends (it waits for nothing but its queue), and the second
    // starts of requests still running get the exit code now, which frees
    // their lock for the new start. With no request thread left the named
    // objects go at once; otherwise they stay mapped for the request threads
    // the VM has stopped, the block marked withdrawn for the new start to take
    // over and the start event cleared for it to set again.
    void Withdraw(std::int32_t exitCode) override {
        StopListener();
        ForgetEndedRequests();
        for (const RunningRequest& request : requests_)
            PostReply(request.requesterThreadId, message_, exitCode, ReplyKind::value);
        if (requests_.empty()) {
            view_.reset();
            mapping_.reset();
            startEvent_.reset();
            return;
        }
        if (startEvent_) ResetEvent(startEvent_.get());
        if (view_) PublishListenerThreadId(Block(), kWithdrawnListenerThreadId);
    }

    // The kind travels in lParam, which the reply left 0 before there were kinds.
    bool PostReply(std::uint32_t threadId, std::uint32_t message, std::int32_t value, ReplyKind kind) override {
        return PostThreadMessageW(threadId, message, static_cast<WPARAM>(static_cast<LONG_PTR>(value)),
                                  static_cast<LPARAM>(kind)) != FALSE;
    }

    // Any other process named in the block is not the first instance, and is
    // neither waited for nor sent anything.
    bool OpenFirstProcess(std::uint32_t processId) override {
        firstProcess_.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
        if (firstProcess_ && RunsThisProgram(firstProcess_.get(), processId)) {
            firstProcessId_ = processId;
            return true;
        }
        reason = L"process " + DecimalText(processId) + L" named in the shared block is not this program of this user";
        firstProcess_.reset();
        return false;
    }

    bool LockRequests(const std::wstring& name) override {
        lock_.reset(Mine(CreateMutexW(security_.Attributes(), FALSE, name.c_str())));
        if (!lock_) return true;
        HANDLE lockOrEnd[] = {lock_.get(), firstProcess_.get()};
        DWORD waited = WaitForMultipleObjects(firstProcess_ ? 2 : 1, lockOrEnd, FALSE, INFINITE);
        // An abandoned lock was left by a second instance that died holding it.
        lockHeld_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0;
        return waited != WAIT_OBJECT_0 + 1;
    }

    // Only to a thread of the first process.
    bool PostRequest(std::uint32_t threadId, std::uint32_t message) override {
        ScopedHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId));
        return thread && GetProcessIdOfThread(thread.get()) == firstProcessId_ &&
               PostThreadMessageW(threadId, message, GetCurrentThreadId(), 0) != FALSE;
    }

    std::int32_t WaitForReply(std::uint32_t message, ReplyKind& kind) override {
        std::int32_t result = 0;
        if (firstProcess_) result = AwaitReplyOrEnd(message, kind);
        if (lockHeld_) ReleaseMutex(lock_.get());
        lockHeld_ = false;
        return result;
    }

private:
    struct RunningRequest {
        ScopedHandle thread;
        std::uint32_t requesterThreadId;
    };

    // The view is mapped for writing; the handle type keeps it const.
    unsigned char* Block() const { return static_cast<unsigned char*>(const_cast<void*>(view_.get())); }

    // A named object made or opened here, or null when another user owns it.
    HANDLE Mine(HANDLE object) const {
        if (object != nullptr && !security_.Owns(object)) {
            CloseHandle(object);
            return nullptr;
        }
        return object;
    }

    bool RunsThisProgram(HANDLE process, DWORD processId) const {
        DWORD session = 0, ownSession = 1;
        wchar_t image[MAX_PATH * 4];
        DWORD length = MAX_PATH * 4;
        return ProcessIdToSessionId(processId, &session) && ProcessIdToSessionId(GetCurrentProcessId(), &ownSession) &&
               session == ownSession && QueryFullProcessImageNameW(process, 0, image, &length) &&
               CompareStringOrdinal(Plain(image), -1, Plain(modulePath_.c_str()), -1, TRUE) == CSTR_EQUAL &&
               security_.User().Is(ProcessUser(process).Sid());
    }

    // Other thread messages are dropped on the way; a reply posted just
    // before the first process ended still counts.
    static std::int32_t Reply(const MSG& msg, ReplyKind& kind) {
        if (msg.lParam == static_cast<LPARAM>(ReplyKind::noSecondaryMain)) kind = ReplyKind::noSecondaryMain;
        return static_cast<std::int32_t>(static_cast<DWORD>(msg.wParam));
    }

    std::int32_t AwaitReplyOrEnd(std::uint32_t message, ReplyKind& kind) {
        HANDLE process = firstProcess_.get();
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == message) return Reply(msg, kind);
            }
            DWORD waited = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLPOSTMESSAGE);
            if (waited == WAIT_OBJECT_0 + 1) continue;
            if (PeekMessageW(&msg, nullptr, message, message, PM_REMOVE)) return Reply(msg, kind);
            DWORD code = 0;
            return GetExitCodeProcess(process, &code) ? static_cast<std::int32_t>(code) : -1;
        }
    }

    static DWORD WINAPI ListenerThread(void* parameter) {
        Win32InstanceChannel& self = *static_cast<Win32InstanceChannel*>(parameter);
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        SetEvent(self.listenerReady_.get());
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == self.message_) self.StartRequest(static_cast<std::uint32_t>(msg.wParam));
        }
        return 0;
    }

    void StartRequest(std::uint32_t requesterThreadId) {
        ForgetEndedRequests();
        std::unique_ptr<Request> request(new Request{serve_, context_, requesterThreadId});
        ScopedHandle thread(CreateThread(nullptr, 0, RequestThread, request.get(), 0, nullptr));
        if (!thread) return;
        request.release();
        requests_.push_back(RunningRequest{std::move(thread), requesterThreadId});
    }

    void ForgetEndedRequests() {
        std::vector<RunningRequest> running;
        for (RunningRequest& request : requests_) {
            if (WaitForSingleObject(request.thread.get(), 0) == WAIT_TIMEOUT) running.push_back(std::move(request));
        }
        requests_.swap(running);
    }

    void StopListener() {
        if (!listener_) return;
        // Refused only when the listener has ended already.
        PostThreadMessageW(listenerId_, WM_QUIT, 0, 0);
        WaitForSingleObject(listener_.get(), INFINITE);
    }

    std::wstring modulePath_;
    OwnerOnly security_;
    std::uint32_t firstProcessId_ = 0;
    std::uint32_t message_ = 0;
    RequestRoutine serve_ = nullptr;
    void* context_ = nullptr;
    std::uint32_t listenerId_ = 0;
    bool lockHeld_ = false;
    // Closed in reverse order: the threads' handles before the objects they use.
    ScopedHandle mapping_;
    ScopedView view_;
    ScopedHandle startEvent_;
    ScopedHandle firstProcess_;
    ScopedHandle lock_;
    ScopedHandle listenerReady_;
    ScopedHandle listener_;
    // Written by the listener only; read once it has ended.
    std::vector<RunningRequest> requests_;
};

}  // namespace

std::unique_ptr<InstanceChannel> Win32Desktop::NewInstanceChannel() {
    std::wstring modulePath;
    SystemError error;
    platform_.environment().ModuleFileName(modulePath, error);
    return std::make_unique<Win32InstanceChannel>(modulePath);
}

}  // namespace zorv
