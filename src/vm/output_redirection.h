// System.out and System.err of the VM sent to files whose names may carry a
// date and time picture between "%" signs.
#pragma once

#include <jni.h>

#include <string>

#include "launcher/platform.h"

namespace zorv {

struct OutputSettings;

// Replaces everything from the first to the last "%" by the picture formatted
// for time ("L" standing for its milliseconds).
void ApplyTimePicture(Platform& platform, std::wstring& name, const LocalTime& time);
// Creates the missing folders leading to a file.
bool EnsureFolders(Platform& platform, const std::wstring& path);

// Sends System.out and System.err to the files named, their time pictures
// filled in now; a stream whose file cannot be opened keeps its destination,
// and one line on standard error and in the trace says why.
void RedirectStandardStreams(Platform& platform, JNIEnv* env, const OutputSettings& output);

}  // namespace zorv
