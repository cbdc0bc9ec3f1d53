#include "launcher/launcher.h"

namespace zorv {

// The splash window does not exist yet: starting it always lets the run go on.
bool Launcher::StartSplash() { return true; }

void Launcher::CloseSplash() {}

}  // namespace zorv
