// %NAME% expansion with the system's rule: a reference to an undefined
// variable stays as written, and its closing "%" may open the next reference.
// The system function stops at 32K characters; this one does not.
#pragma once

#include <functional>
#include <string>

namespace zorv {

using EnvironmentLookup = std::function<bool(const std::wstring& name, std::wstring& value)>;

std::wstring ExpandReferences(const std::wstring& text, const EnvironmentLookup& lookup);

// Why a key of [Environment] cannot name a variable ("is empty", "holds
// \"=\"", "holds a control character"); empty when it can. The systems agree
// on these: "=" ends a name in an environment block, and Windows keeps the
// names that begin with it (its per-drive folders) to itself.
std::wstring VariableNameProblem(const std::wstring& name);

}  // namespace zorv
