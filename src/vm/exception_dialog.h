#pragma once

#include <jni.h>

namespace zorv {

// Ends the Java application as System.exit(-1) would.
void ExitJavaApplication(JNIEnv* env);

}  // namespace zorv
