// Manifests from someone else's executable, read as show reads them and
// changed as the manifest command changes them (the first byte picks the
// switches): every place the reader gives lies inside the text, and a change
// either is refused as the input's fault or reads back as asked.
#include <cstdlib>

#include "tool/manifest_settings.h"

namespace {

using namespace zorv::tool;

void CheckPlaces(const XmlDocument& document, std::size_t size) {
    for (const XmlElement& element : document.elements) {
        const bool ordered = element.begin < element.contentBegin && element.contentBegin <= element.contentEnd &&
                             element.contentEnd <= element.end && element.end <= size &&
                             (element.emptyTag ? element.contentEnd == element.end : element.contentEnd < element.end);
        if (!ordered) std::abort();
        for (const XmlAttribute& attribute : element.attributes) {
            if (attribute.valueBegin <= element.begin || attribute.valueEnd < attribute.valueBegin ||
                attribute.valueEnd >= element.contentBegin) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    XmlDocument document;
    std::string problem;
    if (!ParseXmlDocument(text, document, problem)) return 0;
    CheckPlaces(document, text.size());
    ReadManifestValues(document);

    static const char* const kLevels[] = {"asInvoker", "highestAvailable", "requireAdministrator"};
    static const char* const kDpi[] = {"unaware", "system", "permonitorv2"};
    const unsigned choice = data[0];
    ManifestChanges changes;
    if (choice & 1) changes.executionLevel = kLevels[(choice >> 1) % 3];
    if (choice & 8) changes.dpiAwareness = kDpi[(choice >> 4) % 3];
    if (choice & 64) changes.longPathAware = (choice & 128) != 0;
    std::string changed = text;
    if (!ChangeManifest(changed, changes, problem)) {
        // Only a result over the size cap may fail to read back.
        if (problem.find("cannot be changed faithfully") != std::string::npos && text.size() + 4096 < kLargestManifest) {
            std::abort();
        }
        return 0;
    }
    if (!ParseXmlDocument(changed, document, problem)) std::abort();
    CheckPlaces(document, changed.size());
    const ManifestValues values = ReadManifestValues(document);
    if ((changes.executionLevel && values.executionLevel != *changes.executionLevel) ||
        (changes.dpiAwareness && values.dpiAwareness != *changes.dpiAwareness) ||
        (changes.longPathAware && values.longPathAware != *changes.longPathAware)) {
        std::abort();
    }
    return 0;
}
