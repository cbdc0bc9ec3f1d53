// Interpretation of the settings keys whose values are keywords or flags.
#pragma once

#include <string>
#include <vector>

namespace zorv {

class Launcher;

// "Yes" in any letter case.
bool IsYesFlag(const std::wstring& value);
// Exactly "yes".
bool IsExactYesFlag(const std::wstring& value);
// Pieces between ";"; a trailing ";" adds no empty piece, "" gives none.
std::vector<std::wstring> SplitAtSemicolons(const std::wstring& value);

void ApplyJvmSource(Launcher& launcher, const std::wstring& value);
void ApplyVmProvider(Launcher& launcher, const std::wstring& value);

}  // namespace zorv
