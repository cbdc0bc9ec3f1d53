#include "vm/vm_host.h"

#include <memory>

#include "launcher/launcher.h"
#include "launcher/service.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "vm/ahead_of_time_cache.h"
#include "vm/exception_dialog.h"
#include "vm/output_redirection.h"

namespace zorv {
namespace {

// The exit hook is a plain C function that the runtime calls with nothing but
// the exit code, so what it acts on waits here: set by CreateVm before the VM
// exists, cleared by DestroyVm once it is gone, read by the hook on the thread
// that ends the process.
std::atomic<VmExitListener*> exitListener{nullptr};

// The VM ends the process itself after calling these; they must not. By the
// exit hook, System.exit has run its course, class-data recording included.
void JNICALL ExitHook(jint code) {
    if (VmExitListener* listener = exitListener.load()) listener->VmExiting(code);
}
void JNICALL AbortHook() {}

// A pending exception must be dealt with before the next JNI call.
void DescribePendingException(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
}

}  // namespace

std::u16string ToUtf16(const std::wstring& text) {
    std::u16string units;
    units.reserve(text.size());
    for (wchar_t c : text) {
        std::uint32_t code = static_cast<std::uint32_t>(c);
        if (sizeof(wchar_t) > 2 && code > 0xFFFF && code <= 0x10FFFF) {
            code -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
    }
    return units;
}

std::wstring FromModifiedUtf8(const char* bytes) {
    std::u16string units;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p != 0) {
        unsigned c = *p;
        if (c < 0x80) {
            units.push_back(static_cast<char16_t>(c));
            p += 1;
        } else if ((c & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            units.push_back(static_cast<char16_t>((c & 0x1F) << 6 | (p[1] & 0x3F)));
            p += 2;
        } else if ((c & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            units.push_back(static_cast<char16_t>((c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F)));
            p += 3;
        } else {
            units.push_back(u'\xFFFD');
            p += 1;
        }
    }
    return FromUtf16(units);
}

std::wstring FromUtf16(const std::u16string& units) {
    std::wstring text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        if (sizeof(wchar_t) > 2 && unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() &&
            units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    return text;
}

jstring NewJavaString(const std::wstring& text, JNIEnv* env) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jmethodID constructor = env->GetMethodID(stringClass, "<init>", "([C)V");
    if (constructor == nullptr) {
        env->DeleteLocalRef(stringClass);
        return nullptr;
    }
    std::u16string units = ToUtf16(text);
    jsize length = static_cast<jsize>(units.size());
    jcharArray array = env->NewCharArray(length);
    jstring result = nullptr;
    if (array != nullptr) {
        env->SetCharArrayRegion(array, 0, length, reinterpret_cast<const jchar*>(units.data()));
        if (!env->ExceptionCheck()) result = static_cast<jstring>(env->NewObject(stringClass, constructor, array));
        env->DeleteLocalRef(array);
    }
    env->DeleteLocalRef(stringClass);
    return result;
}

jobjectArray NewJavaStringArray(const std::vector<std::wstring>& list, JNIEnv* env) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(list.size()), stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (array == nullptr) return nullptr;
    for (std::size_t i = 0; i < list.size(); ++i) {
        jstring element = NewJavaString(list[i], env);
        if (element == nullptr) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
        env->DeleteLocalRef(element);
    }
    return array;
}

namespace {

// What the VM is created with, as it is handed over, and what main will get.
void TraceVmStart(Platform& platform, Trace& trace, const JavaVMInitArgs& args,
                  const std::vector<std::wstring>& arguments) {
    for (jint i = 0; i < args.nOptions; ++i) {
        const JavaVMOption& option = args.options[i];
        trace.Line(L"vm: option " + platform.environment().FromAnsi(option.optionString) +
                   (option.extraInfo != nullptr ? L" (hook)" : L""));
    }
    for (std::size_t i = 0; i < arguments.size(); ++i)
        trace.Line(L"vm: argument " + DecimalText(i + 1) + L": " + arguments[i]);
}

}  // namespace

StageOutcome CreateVm(Platform& platform, HostedVm& vm, const VmStart& start, const std::atomic<WindowHandle>& owner,
                      VmExitListener& onExit) {
    std::unique_ptr<JavaVMOption[]> options(new JavaVMOption[start.options.size() + 2]);
    std::size_t count = 0;
    // JNI declares the strings modifiable; the VM only reads them.
    for (const std::string& option : start.options)
        options[count++] = JavaVMOption{const_cast<char*>(option.c_str()), nullptr};
    char abortName[] = "abort";
    char exitName[] = "exit";
    options[count++] = JavaVMOption{abortName, reinterpret_cast<void*>(&AbortHook)};
    options[count++] = JavaVMOption{exitName, reinterpret_cast<void*>(&ExitHook)};

    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(count);
    args.options = options.get();
    args.ignoreUnrecognized = JNI_FALSE;
    if (Trace* trace = platform.trace) TraceVmStart(platform, *trace, args, start.arguments);

    // System.exit may come while the VM is still being created, from a class
    // it initialises: the hook has its listener before then.
    exitListener.store(&onExit);
    JavaVM* javaVm = nullptr;
    jint result = vm.entries.createJavaVm(&javaVm, reinterpret_cast<void**>(&vm.jniEnv), &args);
    if (result != JNI_OK && platform.trace != nullptr) {
        platform.trace->Line(L"vm: JNI_CreateJavaVM failed with " + DecimalText(result));
    }
    if (result != JNI_OK) {
        exitListener.store(nullptr);
        vm.jniEnv = nullptr;
        std::wstring format = platform.desktop().LoadResourceString(IDS_JNI_EXCEPTION);
        if (!format.empty()) {
            platform.desktop().ShowErrorBox(
                owner, FormatPrintf(format, {platform.desktop().LoadResourceString(IDS_CREATE_VM_FAILED),
                                             JniReasonText(platform, result)}));
        }
        return StageOutcome::EndWithCode(kStartFailed);
    }
    vm.javaVm.store(javaVm);
    ConfirmMappedCache(platform, vm.jniEnv, start.classData);
    RedirectStandardStreams(platform, vm.jniEnv, start.output);
    return StageOutcome::Proceed();
}

bool DestroyVm(HostedVm& vm) {
    JavaVM* javaVm = vm.javaVm.load();
    if (javaVm == nullptr) return false;
    javaVm->DestroyJavaVM();
    vm.javaVm.store(nullptr);
    exitListener.store(nullptr);
    return true;
}

namespace {

// How main is declared. Runtimes before JDK 21 know only the static
// main(String[]); later ones also run an instance main and one without
// parameters, and their LauncherHelper says which one it validated in two
// fields, which is how the JDK's own launcher learns it.
struct MainShape {
    bool isStatic = true;
    bool takesArguments = true;
};

bool ReadHelperFlag(JNIEnv* env, jclass helper, const char* name, bool& flag) {
    jfieldID field = env->GetStaticFieldID(helper, name, "Z");
    if (field == nullptr) {
        env->ExceptionClear();  // NoSuchFieldError: a runtime that knows only the static main(String[])
        return false;
    }
    flag = env->GetStaticBooleanField(helper, field) == JNI_TRUE;
    return true;
}

MainShape MainShapeFromHelper(JNIEnv* env, jclass helper) {
    MainShape shape;
    bool isStatic = true;
    bool withoutArguments = false;
    if (ReadHelperFlag(env, helper, "isStaticMain", isStatic) &&
        ReadHelperFlag(env, helper, "noArgMain", withoutArguments)) {
        shape.isStatic = isStatic;
        shape.takesArguments = !withoutArguments;
    }
    return shape;
}

jclass MainClassThroughHelper(const JvmEntryPoints& entries, const StartSettings& start, JNIEnv* env,
                              MainShape& shape) {
    if (entries.findClassFromBootLoader == nullptr) return nullptr;
    jclass helper = entries.findClassFromBootLoader(env, "sun/launcher/LauncherHelper");
    if (helper == nullptr) return nullptr;
    jclass mainClass = nullptr;
    jmethodID check = env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
    if (check != nullptr) {
        jstring name = NewJavaString(
            start.launchMode == LaunchMode::mainClass ? Replaced(start.mainClass, L'/', L'.') : start.launchTarget,
            env);
        if (name != nullptr) {
            mainClass = static_cast<jclass>(env->CallStaticObjectMethod(
                helper, check, JNI_TRUE, static_cast<jint>(start.launchMode), name));
            // The helper's verdict is its exception; -Xcheck:jni also wants it
            // asked for before the next call, even when there is none.
            if (env->ExceptionCheck() && mainClass != nullptr) {
                env->DeleteLocalRef(mainClass);
                mainClass = nullptr;
            }
            if (mainClass != nullptr) shape = MainShapeFromHelper(env, helper);
            env->DeleteLocalRef(name);
        }
    }
    env->DeleteLocalRef(helper);
    return mainClass;
}

// The loaded class's name in the JNI form, for the lookups of later starts
// (secondaryMain) when the settings named only a jar or a module.
std::wstring ClassNameOf(JNIEnv* env, jclass mainClass) {
    std::wstring name;
    jclass classClass = env->GetObjectClass(mainClass);
    jmethodID getName = classClass == nullptr ? nullptr : env->GetMethodID(classClass, "getName", "()Ljava/lang/String;");
    jstring text = getName == nullptr ? nullptr : static_cast<jstring>(env->CallObjectMethod(mainClass, getName));
    const char* bytes = text == nullptr ? nullptr : env->GetStringUTFChars(text, nullptr);
    if (bytes != nullptr) {
        name = FromModifiedUtf8(bytes);
        env->ReleaseStringUTFChars(text, bytes);
    }
    if (env->ExceptionCheck()) env->ExceptionClear();
    if (text != nullptr) env->DeleteLocalRef(text);
    if (classClass != nullptr) env->DeleteLocalRef(classClass);
    return Replaced(name, L'.', L'/');
}

jclass MainClassThroughFindClass(Platform& platform, WindowHandle owner, const std::wstring& className, JNIEnv* env) {
    jstring name = NewJavaString(className, env);
    if (name == nullptr) {
        DescribePendingException(env);
        ShowFormattedError(platform, owner, IDS_MAIN_CLASS_LOAD_FAILED, className);
        return nullptr;
    }
    const char* bytes = env->GetStringUTFChars(name, nullptr);
    if (bytes == nullptr) {
        env->ExceptionDescribe();
        env->DeleteLocalRef(name);
        return nullptr;
    }
    jclass mainClass = env->FindClass(bytes);
    if (mainClass == nullptr) {
        env->ExceptionDescribe();
        ShowFormattedError(platform, owner, IDS_MAIN_CLASS_NOT_FOUND, FromModifiedUtf8(bytes));
    }
    env->ReleaseStringUTFChars(name, bytes);
    env->DeleteLocalRef(name);
    return mainClass;
}

// An instance main runs on an object made with the class's constructor
// without parameters, as the JDK's launcher makes it; the helper has checked
// that there is one. Whatever the constructor throws is left pending, like an
// exception of main: it is the application's own code that failed.
void CallMain(JNIEnv* env, jclass mainClass, jmethodID mainMethod, const MainShape& shape, jobjectArray args) {
    if (shape.isStatic) {
        if (shape.takesArguments) env->CallStaticVoidMethod(mainClass, mainMethod, args);
        else env->CallStaticVoidMethod(mainClass, mainMethod);
        return;
    }
    jmethodID constructor = env->GetMethodID(mainClass, "<init>", "()V");
    if (constructor == nullptr) return;
    jobject application = env->NewObject(mainClass, constructor);
    if (application == nullptr) return;
    if (shape.takesArguments) env->CallVoidMethod(application, mainMethod, args);
    else env->CallVoidMethod(application, mainMethod);
    env->DeleteLocalRef(application);
}

}  // namespace

StageOutcome InvokeMain(Platform& platform, HostedVm& vm, const MainCall& call) {
    const StartSettings& start = call.start;
    const std::atomic<WindowHandle>& owner = call.splash.windowHandle;
    ServiceManager* service = call.service != nullptr ? &call.service->manager : nullptr;
    JNIEnv* env = vm.jniEnv;
    JavaVM* javaVm = vm.javaVm.load();
    // A thread that ends still attached stays a live non-daemon thread to the
    // VM, and DestroyJavaVM would wait for it forever.
    auto fail = [javaVm]() {
        javaVm->DetachCurrentThread();
        return StageOutcome::EndWithCode(kStartFailed);
    };
    MainShape shape;
    jclass mainClassRef = MainClassThroughHelper(vm.entries, start, env, shape);
    if (mainClassRef == nullptr) {
        // The helper has printed what it found wrong; nothing may be called
        // with its exception still pending.
        DescribePendingException(env);
        // Only the helper reads a jar's manifest or a module's descriptor.
        if (start.launchMode != LaunchMode::mainClass) {
            ShowFormattedError(platform, owner, IDS_MAIN_CLASS_NOT_FOUND, start.launchTarget);
            return fail();
        }
        mainClassRef = MainClassThroughFindClass(platform, owner, start.mainClass, env);
        if (mainClassRef == nullptr) return fail();
    }
    vm.mainClass.Set(start.mainClass.empty() ? ClassNameOf(env, mainClassRef) : start.mainClass);

    const char* signature = shape.takesArguments ? "([Ljava/lang/String;)V" : "()V";
    jmethodID mainMethod = shape.isStatic ? env->GetStaticMethodID(mainClassRef, "main", signature)
                                          : env->GetMethodID(mainClassRef, "main", signature);
    if (mainMethod == nullptr) {
        if (env->ExceptionOccurred() != nullptr) {
            env->ExceptionDescribe();
        } else {
            ShowError(platform, owner, IDS_NO_MAIN_METHOD);
        }
        return fail();
    }
    jobjectArray args = shape.takesArguments ? NewJavaStringArray(call.arguments, env) : nullptr;
    if (shape.takesArguments && args == nullptr) {
        env->ExceptionDescribe();
        return fail();
    }
    if (call.instance != nullptr) call.instance->SetStartEvent();
    if (service != nullptr) service->Running(&StopServiceApplication, call.service, StopTimeoutMs(call.service->settings));

    CallMain(env, mainClassRef, mainMethod, shape, args);

    jthrowable exception = env->ExceptionOccurred();
    if (exception != nullptr) {
        CloseSplash(call.splash);
        // As java does, the process ends with 1 once the VM has ended, unless
        // the user chose to go on as if main had returned.
        vm.mainThrew = true;
        // Where nobody reads a service's standard error, its log gets the
        // trace; where the log is standard error, the runtime's own print
        // of the uncaught exception already is the trace.
        if (service != nullptr && !service->LogIsStandardError()) {
            std::wstring text = DescribeException(exception, env);
            service->Log(L"The application's main threw: " + (text.empty() ? std::wstring(L"(no stack trace)") : text),
                         false);
        }
        if (call.failureCheck && service == nullptr) {
            int choice = AskAboutException(platform, exception, env);
            vm.mainThrew = choice != kDialogIgnore;
            if (choice == kDialogStop) {
                // System.exit is a call like any other and wants no exception
                // pending. Should it not end the process, main's exception is
                // left to the VM.
                env->ExceptionClear();
                if (!ExitJavaApplication(env)) env->Throw(exception);
            }
        }
    }
    if (call.keepThreadAttached) platform.processes().SleepForever();
    return javaVm->DetachCurrentThread() == JNI_OK ? StageOutcome::Proceed() : StageOutcome::EndWithCode(kStartFailed);
}

}  // namespace zorv
