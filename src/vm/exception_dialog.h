// An exception that escapes the application's main: its stack trace, as Java
// itself prints it, for the dialog that lets the user ignore it or stop.
#pragma once

#include <jni.h>

namespace zorv {

// Calls System.exit(-1); true when the call came back without an exception.
bool ExitJavaApplication(JNIEnv* env);

}  // namespace zorv
