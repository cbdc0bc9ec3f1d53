#include "instance/single_instance.h"

#include "instance/single_instance_block.h"
#include "launcher/launcher.h"
#include "launcher/monotonic_clock.h"
#include "launcher/trace.h"
#include "vm/vm_host.h"

namespace zorv {
namespace {

const wchar_t kApplicationSection[] = L"Application";
// How long a second start waits for a first instance that has made the block
// but not yet filled its header: its set-up takes milliseconds.
constexpr std::uint64_t kHeaderWaitMicroseconds = 3000000;

bool ServeRequest(void* requests, std::uint32_t requesterThreadId) {
    return ServeSecondaryRequest(*static_cast<SecondaryRequests*>(requests), requesterThreadId);
}

// Without its channel, or when it cannot be trusted, the start runs alone.
void GoWithoutTheMode(Platform& platform, SingleInstance& instance, const std::wstring& why) {
    if (platform.trace) platform.trace->Line(L"single instance: off: " + why);
    instance.channel.reset();
    instance.block = nullptr;
    instance.active = false;
}

// Without its event, message or listener the first instance cannot serve
// anybody; it runs alone and takes down what it made, so that later starts
// become first instances rather than wait for a header that never comes.
void OpenAsFirstInstance(SecondaryRequests& requests, const std::wstring& baseName) {
    Platform& platform = requests.platform;
    SingleInstance& instance = requests.instance;
    InstanceChannel& channel = *instance.channel;
    unsigned char* block = instance.block;
    const bool startEvent = channel.CreateStartEvent(StartEventName(baseName));
    const std::uint32_t message = channel.RegisterMessage(baseName);
    if (!startEvent || message == 0) {
        return GoWithoutTheMode(platform, instance, L"the start event or the message cannot be made for " + baseName);
    }
    WriteBlockField(block, kMessageIdOffset, message);
    WriteBlockField(block, kPrimaryProcessIdOffset, channel.CurrentProcessId());
    const std::uint32_t listener = channel.StartListener(message, ServeRequest, &requests);
    if (listener == 0) return GoWithoutTheMode(platform, instance, L"the listener cannot be started");
    PublishListenerThreadId(block, listener);
}

// A first instance may have made the block an instant ago and still be
// filling its header.
bool WaitForHeader(Platform& platform, const unsigned char* block) {
    const std::uint64_t deadline = MonotonicMicroseconds() + kHeaderWaitMicroseconds;
    if (!HeaderComplete(block) && platform.trace)
        platform.trace->Line(L"single instance: waiting for the first instance to finish its header");
    while (!HeaderComplete(block)) {
        if (MonotonicMicroseconds() >= deadline) return false;
        PauseMilliseconds(5);
    }
    return true;
}

bool SendAsSecondInstance(Platform& platform, SingleInstance& instance, const std::wstring& baseName,
                          const std::vector<std::wstring>& arguments) {
    InstanceChannel& channel = *instance.channel;
    unsigned char* block = instance.block;
    if (ArgumentBlockBytes(arguments) > kArgumentsSize) return false;
    if (!WaitForHeader(platform, block)) return false;
    if (!channel.OpenFirstProcess(ReadBlockField(block, kPrimaryProcessIdOffset))) {
        if (platform.trace) platform.trace->Line(L"single instance: " + channel.reason);
        return false;
    }
    // The first instance ended while others had the block: the wait for the
    // reply reports its exit code.
    if (!channel.LockRequests(RequestLockName(baseName))) return true;
    WriteArgumentBlock(block, arguments);
    return channel.PostRequest(ReadBlockField(block, kListenerThreadIdOffset), ReadBlockField(block, kMessageIdOffset));
}

// The pending exception is printed to the VM's error stream and cleared, so
// the thread can go on and detach cleanly.
void DescribePending(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
}

bool CallSecondaryMain(SecondaryRequests& requests, JNIEnv* env, std::uint32_t requesterThreadId) {
    Platform& platform = requests.platform;
    const SingleInstance& instance = requests.instance;
    InstanceChannel& channel = *instance.channel;
    const std::wstring mainClassName = requests.vm.mainClass.Get();
    const std::string className = platform.environment().ToAnsi(mainClassName);
    jclass mainClass = env->FindClass(className.c_str());
    if (mainClass == nullptr) {
        DescribePending(env);
        return false;
    }
    bool returnsInt = false;
    jmethodID method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)V");
    if (method == nullptr) {
        env->ExceptionClear();
        returnsInt = true;
        method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)I");
    }
    const std::uint32_t message = ReadBlockField(instance.block, kMessageIdOffset);
    if (method == nullptr) {
        // An application without secondaryMain may have its own way to stay
        // single; the second start learns at once that nobody took its arguments.
        env->ExceptionClear();
        env->DeleteLocalRef(mainClass);
        if (platform.trace) {
            platform.trace->Line(L"single instance: " + mainClassName +
                                 L" has no secondaryMain; the second start was told so");
        }
        channel.PostReply(requesterThreadId, message, kNoSecondaryMainExitCode, ReplyKind::noSecondaryMain);
        return false;
    }
    jobjectArray arguments = NewJavaStringArray(ReadArgumentBlock(instance.block), env);
    if (arguments == nullptr) {
        DescribePending(env);
        env->DeleteLocalRef(mainClass);
        return false;
    }
    if (returnsInt) {
        jint result = env->CallStaticIntMethod(mainClass, method, arguments);
        channel.PostReply(requesterThreadId, message, result, ReplyKind::value);
    } else {
        // The second instance need not wait for a method that returns nothing.
        channel.PostReply(requesterThreadId, message, 0, ReplyKind::value);
        env->CallStaticVoidMethod(mainClass, method, arguments);
    }
    const bool threw = env->ExceptionCheck() == JNI_TRUE;
    if (threw) env->ExceptionDescribe();
    env->DeleteLocalRef(arguments);
    env->DeleteLocalRef(mainClass);
    return !threw;
}

}  // namespace

StageOutcome Launcher::OpenSingleInstance(const InstanceSettings& instance, const std::wstring& executable,
                                          const std::vector<std::wstring>& arguments) {
    singleInstance.active = instance.singleInstance;
    if (!singleInstance.active) return StageOutcome::Proceed();
    const std::wstring baseName = InstanceBaseName(executable);
    singleInstance.channel = platform.desktop().NewInstanceChannel();
    bool existed = false;
    if (singleInstance.channel != nullptr) {
        singleInstance.block = singleInstance.channel->OpenBlock(baseName, kInstanceBlockSize, existed);
    }
    if (singleInstance.block == nullptr) {
        GoWithoutTheMode(platform, singleInstance,
                         singleInstance.channel != nullptr && !singleInstance.channel->reason.empty()
                             ? singleInstance.channel->reason
                             : L"the shared block cannot be made");
        return StageOutcome::Proceed();
    }
    singleInstance.isFirst = !existed;
    if (singleInstance.isFirst) {
        OpenAsFirstInstance(requests_, baseName);
        return StageOutcome::Proceed();
    }
    // A second start that cannot hand its arguments over has nobody to tell
    // but the user, who sees the first instance still running.
    return SendAsSecondInstance(platform, singleInstance, baseName, arguments) ? StageOutcome::Proceed()
                                                                               : StageOutcome::EndQuietly();
}

std::int32_t Launcher::RunSecondInstance() {
    ReplyKind kind = ReplyKind::value;
    const std::int32_t result =
        singleInstance.channel->WaitForReply(ReadBlockField(singleInstance.block, kMessageIdOffset), kind);
    if (kind != ReplyKind::noSecondaryMain) return result;
    const std::wstring notice = L"The running instance of this application takes no arguments from a second start "
                                L"(its main class has no secondaryMain); these were not delivered.";
    platform.desktop().WriteNotice(notice);
    if (platform.trace) platform.trace->Line(L"single instance: " + notice);
    return kNoSecondaryMainExitCode;
}

void CloseSingleInstance(SingleInstance& instance) {
    instance.channel.reset();
    instance.block = nullptr;
}

bool ServeSecondaryRequest(SecondaryRequests& requests, std::uint32_t requesterThreadId) {
    InstanceChannel* channel = requests.instance.channel.get();
    if (channel == nullptr || !channel->WaitForStartEvent()) return false;
    JavaVM* vm = requests.vm.javaVm.load();
    if (vm == nullptr) return false;
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return false;
    const bool served = CallSecondaryMain(requests, env, requesterThreadId);
    // Where the VM thread never detaches, request threads keep to the same rule.
    if (!requests.runtime.KeepsMainThreadAttached()) vm->DetachCurrentThread();
    return served;
}

}  // namespace zorv
