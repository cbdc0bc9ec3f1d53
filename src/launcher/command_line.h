// The launcher's own argument splitter: only the space separates, and a
// double quote opens a piece that runs to the next double quote, with no
// escapes. Used for the command line and for the "Cmd" setting.
#pragma once

#include <string>
#include <vector>

namespace zorv {

std::vector<std::wstring> SplitArguments(const std::wstring& text);

// The arguments for the Java main: the command line without surrounding white
// space and without its first piece, the program path as written.
std::vector<std::wstring> ApplicationArgumentsFrom(const std::wstring& commandLine);

}  // namespace zorv
