// Resource directories and .res files from someone else. Whatever reads
// must come back the same after it is written in either form.
#include <cstdlib>

#include "fuzz_input.h"
#include "tool/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorv::tool;
    const Bytes file(data, data + size);
    std::vector<Resource> resources;
    if (ParseResFile(file, resources)) {
        std::vector<Resource> again;
        if (!ParseResFile(BuildResFile(resources), again) || !SameResources(again, resources)) std::abort();
    }

    // The bytes as a resource section at an address the first bytes choose.
    zorv::fuzz::Input input(data, size);
    const std::uint32_t sectionRva = static_cast<std::uint32_t>(input.Number(4)) & 0x7FFFF000u;
    const auto reader = [](const Bytes& section, std::uint32_t rva) {
        return [&section, rva](std::uint32_t at, std::uint32_t length) -> const unsigned char* {
            if (at < rva || at - rva > section.size() || length > section.size() - (at - rva)) return nullptr;
            return section.data() + (at - rva);
        };
    };
    std::string problem;
    if (!ParseResourceDirectory(reader(file, sectionRva), sectionRva, resources, problem)) return 0;
    Bytes section;
    std::vector<Resource> again;
    if (!BuildResourceSection(resources, sectionRva, section, problem)) return 0;
    if (!ParseResourceDirectory(reader(section, sectionRva), sectionRva, again, problem) || !SameResources(again, resources)) {
        std::abort();
    }
    return 0;
}
