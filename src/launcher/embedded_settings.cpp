#include "launcher/ini_document.h"
#include "launcher/launcher.h"

namespace zorv {

// The executable carries no enciphered settings yet: the layer beneath the
// INI file is an empty document.
IniDocument Launcher::EmbeddedSettings() { return IniDocument(); }

}  // namespace zorv
