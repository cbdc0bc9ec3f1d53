// The single-instance channel: a second start of the same executable hands
// its arguments to the running first instance, whose Java secondaryMain takes
// them, and exits with the reply. Launcher::OpenSingleInstance sets it up,
// Launcher::RunSecondInstance waits for the reply, Launcher::CloseSingleInstance
// takes it down.
#pragma once

#include <cstdint>

namespace zorv {

class Launcher;

// The exit code of a second start whose first instance has no secondaryMain.
constexpr std::int32_t kNoSecondaryMainExitCode = -1;

// One request, on a thread of its own in the first instance: waits until main
// has been called, then calls secondaryMain with the arguments in the block
// and replies to the requesting thread. False when nothing was called or the
// call threw.
bool ServeSecondaryRequest(Launcher& launcher, std::uint32_t requesterThreadId);

}  // namespace zorv
