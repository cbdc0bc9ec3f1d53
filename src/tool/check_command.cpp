#include "tool/tool_commands.h"

#include <ostream>

namespace zorv::tool {

int CheckCommand(const Arguments&, std::ostream&, std::ostream& err) {
    err << "zorvtool: check is not built yet\n";
    return kToolUsageError;
}

}  // namespace zorv::tool
