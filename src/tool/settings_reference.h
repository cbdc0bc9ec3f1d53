// The settings reference in Markdown, written from the table of keys: what
// docs/settings.md holds and "zorvtool reference" prints.
#pragma once

#include <iosfwd>

namespace zorv::tool {

void WriteSettingsReference(std::ostream& out);

}  // namespace zorv::tool
