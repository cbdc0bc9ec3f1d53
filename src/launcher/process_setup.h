// What the process itself gets from the settings before the runtime search:
// its taskbar identity, its priority and the variables of [Environment].
#pragma once

#include <string>
#include <vector>

namespace zorv {

class Platform;
struct EnvironmentVariable;
struct ProcessSettings;

// The AppUserModelID and the priority. Windows groups a window by the ID its
// process had when the window was made, so this comes before any window.
// A refused priority is said and the start goes on.
void ApplyProcessIdentity(Platform& platform, const ProcessSettings& process);

// Sets each variable, its %NAME% references expanded against the environment
// as the variables before it left it, or removes it for an empty value.
// Keys that cannot name a variable are left out, and the trace says why.
void ApplyEnvironment(Platform& platform, const std::vector<EnvironmentVariable>& variables);

}  // namespace zorv
