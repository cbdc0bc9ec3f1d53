#include "tool/tool_commands.h"

#include <ostream>

namespace zorv::tool {

namespace {
int NotYet(const char* name, std::ostream& err) {
    err << "zorvtool: " << name << " is not built yet\n";
    return kToolUsageError;
}
}  // namespace

int EmbedCommand(const Arguments&, std::ostream&, std::ostream& err) { return NotYet("embed", err); }
int IconCommand(const Arguments&, std::ostream&, std::ostream& err) { return NotYet("icon", err); }
int VersionCommand(const Arguments&, std::ostream&, std::ostream& err) { return NotYet("version", err); }
int ShowCommand(const Arguments&, std::ostream&, std::ostream& err) { return NotYet("show", err); }

}  // namespace zorv::tool
