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

// One option of "Virtual Machine Parameters" as the java command takes it,
// and what the VM is given for it.
struct VmParameter {
    enum class Fate {
        passed,        // the VM takes `passed`
        dropped,       // nothing reaches the VM
        refused,       // the java command's own: the start stops, `useInstead` says what to write
        missingValue,  // a space form at the very end: the start stops
    };
    std::wstring written;  // quotes removed; a space form's two pieces with their space
    std::wstring passed;
    Fate fate = Fate::passed;
    const wchar_t* useInstead = nullptr;
    std::size_t firstToken = 0;  // index into the tokens it came from
};

// The tokens of TokeniseVmOptions as the java command reads them: the options
// it takes with a separate value ("--add-opens X", "-p X") are joined into the
// "--opt=value" form the VM takes; the ones only its command line knows are
// refused with the setting to use instead.
std::vector<VmParameter> ReadVmParameters(const std::vector<std::wstring>& tokens);

}  // namespace zorv
