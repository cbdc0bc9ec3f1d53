// The date and time pictures of Windows' formatting functions, in English:
// runs of one letter are fields, text between single quotes is literal,
// everything else is copied. The Linux launcher names its files with them,
// and zorvtool shows what a picture gives.
#pragma once

#include <string>

#include "launcher/platform.h"

namespace zorv {

// The fields H, h, m, s and t (hours, minutes, seconds, AM/PM).
std::wstring FormatTimeFields(const std::wstring& picture, const LocalTime& time);
// The fields d, M, y and g (day, month, year, era).
std::wstring FormatDateFields(const std::wstring& picture, const LocalTime& time);

}  // namespace zorv
