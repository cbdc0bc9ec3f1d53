#include "launcher/launcher.h"

namespace zorv {

// Every start runs its application itself until the channel between
// instances exists.
bool Launcher::InitSingleInstance() {
    singleInstanceActive = false;
    return true;
}

void Launcher::CloseSingleInstance() {}

}  // namespace zorv
