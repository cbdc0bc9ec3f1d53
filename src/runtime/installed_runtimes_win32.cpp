// Windows knows its runtimes from the registry; nothing is installed in a
// common folder that the launcher should look through.
#include "launcher/launcher.h"

namespace zorv {

bool Launcher::SearchInstalledRuntimes(std::wstring&) { return false; }

}  // namespace zorv
