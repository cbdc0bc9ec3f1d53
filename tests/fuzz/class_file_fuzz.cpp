// What zorvtool check reads out of the packager's jars: the zip entry, its
// deflated data and the class file's methods table.
#include <cstdint>
#include <string>

#include "tool/class_file.h"
#include "tool/inflate.h"
#include "tool/zip_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string inflated, entry;
    if (zorv::tool::Inflate(data, size, 1 << 20, inflated)) {
        zorv::tool::FindStaticMethod(inflated, "secondaryMain", "([Ljava/lang/String;)I");
    }
    zorv::tool::FindStaticMethod(bytes, "secondaryMain", "([Ljava/lang/String;)V");
    if (zorv::tool::ReadZipEntry(bytes, "Probe.class", 1 << 20, entry) && entry.size() > (1u << 20)) __builtin_trap();
    return 0;
}
