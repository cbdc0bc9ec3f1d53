// The single-instance channel: a second start of the same executable hands
// its arguments to the running first instance, whose Java secondaryMain takes
// them, and exits with the reply. Launcher::OpenSingleInstance sets it up,
// Launcher::RunSecondInstance waits for the reply, CloseSingleInstance takes
// it down.
#pragma once

#include <cstdint>

namespace zorv {

class Platform;
struct HostedVm;
struct RuntimeRequest;
struct SingleInstance;

// The exit code of a second start whose first instance has no secondaryMain.
constexpr std::int32_t kNoSecondaryMainExitCode = -1;

// What the request threads of a first instance read. The channel and its
// block are made before the listener starts and stay until it has stopped
// and its request threads have ended; the VM, which the VM thread creates and
// names the main class of meanwhile, says in its own types how it is shared.
struct SecondaryRequests {
    Platform& platform;
    SingleInstance& instance;
    HostedVm& vm;
    const RuntimeRequest& runtime;  // whether a thread attached to the VM stays attached
};

// One request, on a thread of its own in the first instance: waits until main
// has been called, then calls secondaryMain with the arguments in the block
// and replies to the requesting thread. False when nothing was called or the
// call threw.
bool ServeSecondaryRequest(SecondaryRequests& requests, std::uint32_t requesterThreadId);

}  // namespace zorv
