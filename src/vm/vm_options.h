// Splitting "Virtual Machine Parameters" into single options.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zorv {

// The first space at or after pos outside a double-quoted stretch, or the
// text's length.
std::size_t FindOptionSeparator(const std::wstring& text, std::size_t pos);
// Only spaces separate; leading spaces give one empty option, trailing ones none.
std::vector<std::wstring> TokeniseVmOptions(const std::wstring& text);
// -Dtitle="My App" becomes -Dtitle=My App; a doubled closing quote leaves one.
std::wstring RemoveQuotes(std::wstring option);

}  // namespace zorv
