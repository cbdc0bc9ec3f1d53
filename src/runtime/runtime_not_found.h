// The last resort of the runtime search: tell the user which runtime the
// application needs, link to a download page, and let them point at one that
// is already installed.
#pragma once

#include <string>

#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "runtime/jvm_library.h"
#include "resources/dialog_ids.h"

namespace zorv {

// The dialog's state, owned by the caller for one showing.
class RuntimeNotFoundDialog {
public:
    RuntimeNotFoundDialog(Platform& platform, const RuntimeRequest& request, const StartableMachines& machines,
                          std::wstring message);

    // kDialogOk or kDialogCancel; after OK, chosenFolder and jvmLibraryPath
    // name the runtime.
    int Show(WindowHandle owner);
    // Takes a folder the user browsed to (as the folder browser gave it) and
    // looks for a runtime this launcher can start in it, in its parent when it
    // is a "bin" folder, or in exactly one of its subfolders. True when one
    // was found, which is exactly when OK may be pressed; `verdict` says why
    // not, or where the runtime is when it is not the folder itself.
    bool TakeFolder(const std::wstring& folder);

    Platform& platform;
    const RuntimeRequest& request;
    const StartableMachines& machines;
    std::wstring message;
    std::wstring chosenFolder;    // the runtime's home with a trailing "\"; empty until a folder is chosen
    std::wstring jvmLibraryPath;  // the library found for chosenFolder, or empty
    std::wstring verdict;         // the line under the path

private:
    std::wstring FindHome(const std::wstring& folder, std::wstring& library, int& runtimesFound);
    std::wstring Refusal(const std::wstring& home, const std::wstring& library);
};

// What a launcher without the dialog tells instead: the message, and the
// download address on a line of its own.
inline std::wstring RuntimeNotFoundText(const RuntimeNotFoundDialog& dialog) {
    return dialog.message + L"\n" L"" RUNTIME_DOWNLOAD_ADDRESS;
}

struct ChosenRuntime;

// The last resort of the search: the user picks a folder. False: cancelled;
// otherwise `chosen` names the library and `folder` the runtime's home.
bool AskForRuntime(Platform& platform, const RuntimeRequest& request, const StartableMachines& machines,
                   ChosenRuntime& chosen, std::wstring& folder);
// Writes the folder as "JRE Path" into the settings files that keep it: the
// user's copies, or a service's own files.
void RememberRuntimeFolder(Platform& platform, const ProgramFiles& files, const InstanceSettings& instance,
                           const std::wstring& folder);

}  // namespace zorv
