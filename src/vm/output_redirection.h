// System.out and System.err of the VM sent to files whose names may carry a
// date and time picture between "%" signs.
#pragma once

#include <string>

#include "launcher/platform.h"

namespace zorv {

// Replaces everything from the first to the last "%" by the picture formatted
// for time ("L" standing for its milliseconds).
void ApplyTimePicture(Platform& platform, std::wstring& name, const LocalTime& time);
// Creates the missing folders leading to a file.
bool EnsureFolders(Platform& platform, const std::wstring& path);

}  // namespace zorv
