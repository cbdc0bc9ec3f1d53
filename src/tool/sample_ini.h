// A settings file that names every key of the table, each commented out
// below its explanation: what "zorvtool sample-ini" prints and the release
// ships as a starting point.
#pragma once

#include <iosfwd>

namespace zorv::tool {

void WriteSampleIni(std::ostream& out);

}  // namespace zorv::tool
