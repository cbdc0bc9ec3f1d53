// An exception that escapes the application's main: its stack trace, as Java
// itself prints it, for the dialog that lets the user ignore it or stop.
#pragma once

#include <jni.h>

#include <string>

namespace zorv {

class Platform;

// The exception's stack trace as Java prints it; empty when it cannot be had.
// An exception pending before the call is pending again after it.
std::wstring DescribeException(jthrowable exception, JNIEnv* env);
// Shows the trace: kDialogStop when the application is to stop,
// kDialogIgnore, or kNoDialog when there was no trace to show or nobody to ask.
int AskAboutException(Platform& platform, jthrowable exception, JNIEnv* env);

// Calls System.exit(-1); true when the call came back without an exception.
bool ExitJavaApplication(JNIEnv* env);

}  // namespace zorv
