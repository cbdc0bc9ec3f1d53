#include "vm/exception_dialog.h"

#include "launcher/launcher.h"

namespace zorv {

std::wstring Launcher::DescribeException(jthrowable, JNIEnv*) { return std::wstring(); }

bool Launcher::AskAboutException(jthrowable exception, JNIEnv* env) {
    std::wstring trace = DescribeException(exception, env);
    if (trace.empty()) return false;
    return platform.ShowExceptionDialog(platform.ActiveWindow(), trace) != kDialogIgnore;
}

bool ExitJavaApplication(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID exitMethod = system == nullptr ? nullptr : env->GetStaticMethodID(system, "exit", "(I)V");
    if (exitMethod == nullptr) return false;
    env->CallStaticVoidMethod(system, exitMethod, jint{-1});
    if (!env->ExceptionCheck()) return true;
    env->ExceptionDescribe();
    return false;
}

}  // namespace zorv
