// An executable from someone else: read as show and check read it, then
// rewritten as embed, icon and version do. A rewrite that succeeds must be a
// fixed point: rewriting its result with the same resources changes no byte.
#include <cstdlib>

#include "tool/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorv::tool;
    const Bytes file(data, data + size);
    std::string problem;
    std::vector<Resource> resources;
    PeImage reading;
    if (reading.Load(file, problem, PeImage::kReading)) reading.ReadResources(resources, problem);

    PeImage image;
    if (!image.Load(file, problem) || !image.ReadResources(resources, problem)) return 0;
    PutResource(resources, Resource{IdKey(kTypeRcData), IdKey(8000), kLanguageNeutral, 0, Bytes(data, data + size % 97)});
    if (!image.WriteResources(resources, problem)) return 0;
    PeImage again;
    std::vector<Resource> readBack;
    if (!again.Load(image.File(), problem) || !again.ReadResources(readBack, problem)) std::abort();
    if (!SameResources(readBack, resources)) std::abort();
    if (!again.WriteResources(readBack, problem) || again.File() != image.File()) std::abort();
    return 0;
}
