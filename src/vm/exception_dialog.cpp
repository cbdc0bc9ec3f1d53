#include "vm/exception_dialog.h"

#include <vector>

#include "launcher/platform.h"
#include "vm/vm_host.h"

namespace zorv {
namespace {

// The local references of one description, deleted when it ends however it
// ends: a trace can be megabytes, and the caller's frame lives on after it.
class LocalRefs {
public:
    explicit LocalRefs(JNIEnv* env) : env_(env) {}
    ~LocalRefs() {
        for (jobject ref : refs_) env_->DeleteLocalRef(ref);
    }
    LocalRefs(const LocalRefs&) = delete;
    LocalRefs& operator=(const LocalRefs&) = delete;

    template <typename Ref>
    Ref Keep(Ref ref) {
        if (ref != nullptr) refs_.push_back(ref);
        return ref;
    }

private:
    JNIEnv* env_;
    std::vector<jobject> refs_;
};

void DescribePending(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
}

jobject NewInstance(LocalRefs& refs, JNIEnv* env, const char* className, const char* signature,
                    const jvalue* arguments) {
    jclass type = refs.Keep(env->FindClass(className));
    jmethodID constructor = type == nullptr ? nullptr : env->GetMethodID(type, "<init>", signature);
    return constructor == nullptr ? nullptr : refs.Keep(env->NewObjectA(type, constructor, arguments));
}

// Looked up on the object's own class, so that an override is the one called.
jmethodID MethodOf(LocalRefs& refs, JNIEnv* env, jobject object, const char* name, const char* signature) {
    jclass type = refs.Keep(env->GetObjectClass(object));
    return type == nullptr ? nullptr : env->GetMethodID(type, name, signature);
}

// Java prints the trace into a byte buffer exactly as it would print it on
// System.err, and the buffer gives it back as one string. Both ends name
// UTF-8: with the runtime's default charset (the ANSI code page before JDK
// 18) every character outside that page would come back as "?".
std::wstring PrintedTrace(jthrowable exception, JNIEnv* env) {
    LocalRefs refs(env);
    jstring charset = refs.Keep(NewJavaString(L"UTF-8", env));
    if (charset == nullptr) return std::wstring();
    jobject buffer = NewInstance(refs, env, "java/io/ByteArrayOutputStream", "()V", nullptr);
    if (buffer == nullptr) return std::wstring();
    jvalue streamArguments[3];
    streamArguments[0].l = buffer;
    streamArguments[1].z = JNI_FALSE;
    streamArguments[2].l = charset;
    jobject stream = NewInstance(refs, env, "java/io/PrintStream", "(Ljava/io/OutputStream;ZLjava/lang/String;)V",
                                 streamArguments);
    if (stream == nullptr) return std::wstring();
    jmethodID print = MethodOf(refs, env, exception, "printStackTrace", "(Ljava/io/PrintStream;)V");
    if (print == nullptr) return std::wstring();
    env->CallVoidMethod(exception, print, stream);
    // A trace that failed halfway is still worth showing as far as it got.
    DescribePending(env);
    jmethodID toString = MethodOf(refs, env, buffer, "toString", "(Ljava/lang/String;)Ljava/lang/String;");
    if (toString == nullptr) return std::wstring();
    jstring text = refs.Keep(static_cast<jstring>(env->CallObjectMethod(buffer, toString, charset)));
    DescribePending(env);
    if (text == nullptr) return std::wstring();
    const char* bytes = env->GetStringUTFChars(text, nullptr);
    if (bytes == nullptr) return std::wstring();
    std::wstring trace = FromModifiedUtf8(bytes);
    env->ReleaseStringUTFChars(text, bytes);
    return trace;
}

}  // namespace

// JNI allows no other call while an exception is pending, so main's exception
// is set aside while Java prints it. It is pending again afterwards, the same
// object, so that after Ignore the VM reports it as uncaught as it would
// without the dialog.
std::wstring DescribeException(jthrowable exception, JNIEnv* env) {
    jthrowable pending = env->ExceptionOccurred();
    if (pending != nullptr) env->ExceptionClear();
    std::wstring trace = PrintedTrace(exception, env);
    // A step that found nothing leaves its error pending; it must not take
    // the place of main's exception.
    DescribePending(env);
    if (pending != nullptr) {
        env->Throw(pending);
        env->DeleteLocalRef(pending);
    }
    return trace;
}

int AskAboutException(Platform& platform, jthrowable exception, JNIEnv* env) {
    std::wstring trace = DescribeException(exception, env);
    if (trace.empty()) return kNoDialog;
    const int choice = platform.desktop().ShowExceptionDialog(platform.desktop().ActiveWindow(), trace);
    return choice == kDialogIgnore || choice == kNoDialog ? choice : kDialogStop;
}

bool ExitJavaApplication(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID exitMethod = system == nullptr ? nullptr : env->GetStaticMethodID(system, "exit", "(I)V");
    if (exitMethod != nullptr) {
        env->CallStaticVoidMethod(system, exitMethod, jint{-1});
        if (!env->ExceptionCheck()) return true;
    }
    // The caller goes on as after Ignore and must find nothing of this pending.
    DescribePending(env);
    return false;
}

}  // namespace zorv
