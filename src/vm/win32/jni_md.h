/* Machine-dependent JNI types for Win32: the type widths and calling convention of JNI on Windows.
   The cross build uses the installed JDK's jni.h with this header beside it. */
#ifndef ZORV_WIN32_JNI_MD_H
#define ZORV_WIN32_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
