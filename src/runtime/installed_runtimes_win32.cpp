// Windows knows its runtimes from the registry; nothing is installed in a
// common folder that the launcher should look through.
#include "runtime/runtime_search.h"

namespace zorv {

bool RuntimeSearch::SearchInstalled(std::wstring&) { return false; }

}  // namespace zorv
