#include "launcher/launcher.h"

namespace zorv {

// Every start runs its application itself until the channel between
// instances exists.
bool Launcher::InitSingleInstance() {
    singleInstanceActive = false;
    return true;
}

void Launcher::CloseSingleInstance() {}

// With no first instance to wait for, a second start has nothing to report.
std::int32_t Launcher::RunSecondInstance() { return 0; }

}  // namespace zorv
