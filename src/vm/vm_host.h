// The VM this process hosts, and what is done to it: its creation, the call
// of main, its end, and a service's stop. Each is a function over HostedVm
// that the run sequence calls with what it needs. And the Java strings they
// pass, built from UTF-16 code units unchanged.
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/stage_outcome.h"
#include "runtime/jvm_library.h"
#include "vm/vm_options.h"

namespace zorv {

struct SplashScreen;

// The UTF-16 code units of text; on platforms whose wchar_t is 32 bits,
// characters beyond the BMP become surrogate pairs.
std::u16string ToUtf16(const std::wstring& text);
// The reverse: surrogate pairs become one character where wchar_t is 32 bits.
std::wstring FromUtf16(const std::u16string& units);
// Modified UTF-8 (as GetStringUTFChars returns it) decoded to a wide string.
std::wstring FromModifiedUtf8(const char* bytes);

jstring NewJavaString(const std::wstring& text, JNIEnv* env);
jobjectArray NewJavaStringArray(const std::vector<std::wstring>& list, JNIEnv* env);

// A text that one thread writes while others read it; every read is a whole
// copy. The lock is held for a copy at most, so a thread that finds it taken
// spins: a mutex would bring a threads library into the Windows executable,
// which has none.
class SharedText {
public:
    void Set(std::wstring text) {
        Hold hold(busy_);
        text_.swap(text);
    }
    std::wstring Get() const {
        Hold hold(busy_);
        return text_;
    }

private:
    class Hold {
    public:
        explicit Hold(std::atomic_flag& busy) : busy_(busy) {
            while (busy_.test_and_set(std::memory_order_acquire)) {
            }
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { busy_.clear(std::memory_order_release); }

    private:
        std::atomic_flag& busy_;
    };

    mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::wstring text_;
};

struct HostedVm {
    JvmEntryPoints entries;
    // Set by the thread that creates the VM and cleared by the one that
    // destroys it; request and stop threads read it meanwhile.
    std::atomic<JavaVM*> javaVm{nullptr};
    JNIEnv* jniEnv = nullptr;  // the creating thread's own
    // The class main was called on, in the JNI form: what a second start's
    // secondaryMain is looked up on. The VM thread writes it, request threads read it.
    SharedText mainClass;
    bool mainThrew = false;  // and the user did not choose to ignore it; read once the VM thread has ended
};

// Hears that the runtime is ending the process (System.exit), on the thread
// that ends it, before the process is gone.
class VmExitListener {
public:
    virtual void VmExiting(std::int32_t exitCode) = 0;

protected:
    ~VmExitListener() = default;
};

// Creates the VM on the calling thread with start's options and the abort and
// exit hooks, and sends its standard streams where start says. From then
// until DestroyVm the runtime's exit reaches onExit. When the VM cannot be
// created the user is told, in a box owned by `owner`, and the start ends.
StageOutcome CreateVm(Platform& platform, HostedVm& vm, const VmStart& start, const std::atomic<WindowHandle>& owner,
                      VmExitListener& onExit);

// What a service's stop request acts on (StopServiceApplication's context);
// it lives as long as the process may be asked to stop.
struct ServiceStop {
    Platform& platform;
    HostedVm& vm;
    const ServiceSettings& settings;
    ServiceManager& manager;
};

// A service's stop request, on a thread of its own: ends the application as
// the service settings say.
void StopServiceApplication(void* serviceStop);

// How main is called, and who hears of it.
struct MainCall {
    const StartSettings& start;
    const std::vector<std::wstring>& arguments;
    bool failureCheck;        // "Failure Check": the user is asked when main throws
    bool keepThreadAttached;  // the calling thread never detaches
    SplashScreen& splash;     // owns the error boxes; goes before the exception dialog
    // Its start event is set just before main, for the request threads; null
    // outside single-instance mode.
    InstanceChannel* instance;
    ServiceStop* service;     // told that main runs and how to stop it; null outside a service
};

// Finds the main class and calls main on the thread that created the VM.
// The start ends when main cannot be called; the user was told why.
StageOutcome InvokeMain(Platform& platform, HostedVm& vm, const MainCall& call);

// Destroys the VM, which waits for the application's last non-daemon
// thread; the exit hook hears nothing more. False when there was none.
bool DestroyVm(HostedVm& vm);

}  // namespace zorv
