#include "vm/exception_dialog.h"

#include "launcher/launcher.h"

namespace zorv {

// Until the dialog exists, an uncaught exception is left to the VM, as if the
// user had chosen Ignore.
bool Launcher::AskAboutException(jthrowable, JNIEnv*) { return false; }

void ExitJavaApplication(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID exitMethod = system == nullptr ? nullptr : env->GetStaticMethodID(system, "exit", "(I)V");
    if (exitMethod != nullptr) env->CallStaticVoidMethod(system, exitMethod, jint{-1});
}

}  // namespace zorv
