// A service's stop request, carried out on a thread of its own attached to
// the VM: System.exit(0), which runs the shutdown hooks as Ctrl+C does under
// java, or the application's own stop method.
#include <jni.h>

#include "launcher/service.h"
#include "launcher/trace.h"
#include "runtime/error_reporting.h"
#include "vm/exception_dialog.h"
#include "vm/vm_host.h"

namespace zorv {
namespace {

void ExitWithZero(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID exitMethod = system == nullptr ? nullptr : env->GetStaticMethodID(system, "exit", "(I)V");
    if (exitMethod != nullptr) env->CallStaticVoidMethod(system, exitMethod, jint{0});
    if (env->ExceptionCheck()) env->ExceptionDescribe();
}

// FindClass wants the name in modified UTF-8, which the VM itself makes best.
jclass FindClassNamed(JNIEnv* env, const std::wstring& className) {
    jstring name = NewJavaString(className, env);
    const char* bytes = name == nullptr ? nullptr : env->GetStringUTFChars(name, nullptr);
    jclass found = bytes == nullptr ? nullptr : env->FindClass(bytes);
    if (bytes != nullptr) env->ReleaseStringUTFChars(name, bytes);
    if (name != nullptr) env->DeleteLocalRef(name);
    return found;
}

// stop(String[]) when the class has one, else stop(); false when it has neither.
bool CallStopMethod(JNIEnv* env, const ServiceSettings& service, ServiceManager& manager) {
    jclass stopClass = FindClassNamed(env, service.stopClass);
    if (stopClass == nullptr) {
        env->ExceptionClear();
        return false;
    }
    bool withArguments = true;
    jmethodID stop = env->GetStaticMethodID(stopClass, "stop", "([Ljava/lang/String;)V");
    if (stop == nullptr) {
        env->ExceptionClear();
        withArguments = false;
        stop = env->GetStaticMethodID(stopClass, "stop", "()V");
    }
    if (stop == nullptr) {
        env->ExceptionClear();
        env->DeleteLocalRef(stopClass);
        return false;
    }
    if (withArguments) {
        jobjectArray arguments = NewJavaStringArray(service.stopArguments, env);
        if (arguments != nullptr) {
            env->CallStaticVoidMethod(stopClass, stop, arguments);
            env->DeleteLocalRef(arguments);
        }
    } else {
        env->CallStaticVoidMethod(stopClass, stop);
    }
    if (env->ExceptionCheck()) {
        jthrowable exception = env->ExceptionOccurred();
        std::wstring text = DescribeException(exception, env);
        env->ExceptionClear();
        env->DeleteLocalRef(exception);
        manager.Log(FormatPrintf(L"The stop method of %s threw: %s", {service.stopClass, text}), true);
    }
    env->DeleteLocalRef(stopClass);
    return true;
}

}  // namespace

void StopServiceApplication(void* argument) {
    ServiceStop& stop = *static_cast<ServiceStop*>(argument);
    JavaVM* vm = stop.vm.javaVm.load();
    ServiceManager* manager = &stop.manager;
    if (vm == nullptr) return;
    JNIEnv* env = nullptr;
    // A daemon thread: the VM's end must not wait for the stop's own thread.
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return;
    const ServiceSettings& service = stop.settings;
    Trace* trace = stop.platform.trace;
    if (service.stopClass.empty()) {
        if (trace) trace->Line(L"service: stop requested, ending the application with System.exit(0)");
        ExitWithZero(env);
    } else {
        if (trace) trace->Line(L"service: stop requested, calling " + service.stopClass + L".stop");
        if (!CallStopMethod(env, service, *manager)) {
            manager->Log(FormatPrintf(L"\"Stop Class=%s\" names no class with a static stop(String[]) or stop(): the "
                                      L"service is stopped with System.exit(0) instead.",
                                      {service.stopClass}),
                         true);
            ExitWithZero(env);
        }
    }
    vm->DetachCurrentThread();
}

}  // namespace zorv
