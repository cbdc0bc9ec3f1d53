// The last resort of the runtime search: tell the user which runtime the
// application needs, link to a download page, and let them point at one that
// is already installed.
#pragma once

#include <string>

#include "launcher/launcher.h"
#include "resources/dialog_ids.h"

namespace zorv {

// The dialog's state, owned by the caller for one showing.
class RuntimeNotFoundDialog {
public:
    RuntimeNotFoundDialog(Platform& platform, std::wstring message, JvmType jvmType);

    // kDialogOk or kDialogCancel; after OK, chosenFolder and jvmLibraryPath
    // name the runtime.
    int Show(WindowHandle owner);
    // Takes a folder the user browsed to (as the folder browser gave it) and
    // looks for a JVM library of the required type in it. True when one was
    // found, which is exactly when OK may be pressed.
    bool TakeFolder(const std::wstring& folder);

    Platform& platform;
    std::wstring message;
    JvmType jvmType;
    std::wstring chosenFolder;    // with a trailing "\"; empty until a folder is chosen
    std::wstring jvmLibraryPath;  // the library found in chosenFolder, or empty
};

// What a launcher without the dialog tells instead: the message, and the
// download address on a line of its own.
inline std::wstring RuntimeNotFoundText(const RuntimeNotFoundDialog& dialog) {
    return dialog.message + L"\n" L"" RUNTIME_DOWNLOAD_ADDRESS;
}

}  // namespace zorv
