// Jar files from someone else's class path, read through their zip directory.
#include <string>
#include <vector>

#include "tool/zip_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> names;
    zorv::tool::ReadZipEntryNames(std::string(reinterpret_cast<const char*>(data), size), names);
    return 0;
}
