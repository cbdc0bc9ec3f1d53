// The single-instance channel's OS objects: a mapping on the paging file, a
// registered thread message, the start event, the listener and request
// threads in the first instance; the first process and the request lock in a
// second one. Every handle has its owner here.
#include <memory>
#include <vector>

#include "launcher/platform_win32.h"
#include "launcher/unique_handle.h"

namespace zorv {
namespace {

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
    ~Win32InstanceChannel() override {
        StopListener();
        // Requests still waiting for main are let go: the VM is gone by now,
        // so they end without calling anything, before the block goes away.
        if (startEvent_) SetEvent(startEvent_.get());
        for (const ScopedHandle& request : requests_) WaitForSingleObject(request.get(), INFINITE);
        if (lockHeld_) ReleaseMutex(lock_.get());
    }

    unsigned char* OpenBlock(const std::wstring& name, std::size_t size, bool& existed) override {
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size), name.c_str()));
        existed = GetLastError() == ERROR_ALREADY_EXISTS;
        if (!mapping_) return nullptr;
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, size));
        return static_cast<unsigned char*>(const_cast<void*>(view_.get()));
    }

    EventHandle CreateStartEvent(const std::wstring& name) override {
        startEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
        return startEvent_.get();
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

    bool PostReply(std::uint32_t threadId, std::uint32_t message, std::int32_t value) override {
        return PostThreadMessageW(threadId, message, static_cast<WPARAM>(static_cast<LONG_PTR>(value)), 0) != FALSE;
    }

    bool OpenFirstProcess(std::uint32_t processId) override {
        firstProcess_.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
        return firstProcess_.valid();
    }

    bool LockRequests(const std::wstring& name) override {
        lock_.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
        if (!lock_) return true;
        HANDLE lockOrEnd[] = {lock_.get(), firstProcess_.get()};
        DWORD waited = WaitForMultipleObjects(firstProcess_ ? 2 : 1, lockOrEnd, FALSE, INFINITE);
        // An abandoned lock was left by a second instance that died holding it.
        lockHeld_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0;
        return waited != WAIT_OBJECT_0 + 1;
    }

    bool PostRequest(std::uint32_t threadId, std::uint32_t message) override {
        return PostThreadMessageW(threadId, message, GetCurrentThreadId(), 0) != FALSE;
    }

    std::int32_t WaitForReply(std::uint32_t message) override {
        std::int32_t result = 0;
        if (firstProcess_) result = AwaitReplyOrEnd(message);
        if (lockHeld_) ReleaseMutex(lock_.get());
        lockHeld_ = false;
        return result;
    }

private:
    // Other thread messages are dropped on the way; a reply posted just
    // before the first process ended still counts.
    std::int32_t AwaitReplyOrEnd(std::uint32_t message) {
        HANDLE process = firstProcess_.get();
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == message) return static_cast<std::int32_t>(static_cast<DWORD>(msg.wParam));
            }
            DWORD waited = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLPOSTMESSAGE);
            if (waited == WAIT_OBJECT_0 + 1) continue;
            if (PeekMessageW(&msg, nullptr, message, message, PM_REMOVE)) {
                return static_cast<std::int32_t>(static_cast<DWORD>(msg.wParam));
            }
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
        requests_.push_back(std::move(thread));
    }

    void ForgetEndedRequests() {
        std::vector<ScopedHandle> running;
        for (ScopedHandle& request : requests_) {
            if (WaitForSingleObject(request.get(), 0) == WAIT_TIMEOUT) running.push_back(std::move(request));
        }
        requests_.swap(running);
    }

    void StopListener() {
        if (!listener_) return;
        // Refused only when the listener has ended already.
        PostThreadMessageW(listenerId_, WM_QUIT, 0, 0);
        WaitForSingleObject(listener_.get(), INFINITE);
    }

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
    std::vector<ScopedHandle> requests_;
};

}  // namespace

std::unique_ptr<InstanceChannel> Win32Platform::NewInstanceChannel() {
    return std::make_unique<Win32InstanceChannel>();
}

}  // namespace zorv
