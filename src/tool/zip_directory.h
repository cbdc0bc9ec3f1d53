// The names of the entries of a zip file (a jar), read from its central
// directory alone: nothing is unpacked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zorv::tool {

// The entry names of the zip archive held in bytes, in directory order.
// False when no end-of-central-directory record is found or the directory
// runs past the data. Data before the archive (an executable the archive is
// appended to) is allowed.
bool ReadZipEntryNames(const std::string& bytes, std::vector<std::string>& names);

// The contents of the named entry, stored or deflated. False when there is
// no such entry, its data runs past the bytes or fails to decode, or it
// holds more than limit bytes.
bool ReadZipEntry(const std::string& bytes, const std::string& name, std::size_t limit, std::string& data);

}  // namespace zorv::tool
