#include "launcher/launcher.h"

namespace zorv {

// Without the dialog, a search that found nothing ends as if the user had
// cancelled: nothing is written to any settings file.
bool Launcher::AskForRuntime() { return false; }

}  // namespace zorv
