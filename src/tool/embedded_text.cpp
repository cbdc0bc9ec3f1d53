#include "tool/embedded_text.h"

#include <vector>

#include "launcher/embedded_settings.h"
#include "tool/embedded_payload.h"
#include "tool/input_file.h"
#include "tool/pe_image.h"
#include "tool/tool_text.h"
#include "tool/utf.h"

namespace zorv::tool {
namespace {

// The launcher tries the user's language before the neutral one; a checker
// has no user, so the neutral resource wins, and otherwise the first.
const Resource* FindRcData(const std::vector<Resource>& resources, unsigned id) {
    const Resource* found = nullptr;
    for (const Resource& resource : resources) {
        if (resource.type != IdKey(kTypeRcData) || resource.name != IdKey(static_cast<std::uint16_t>(id))) continue;
        if (resource.language == 0) return &resource;
        if (found == nullptr) found = &resource;
    }
    return found;
}

}  // namespace

EmbeddedRead ReadEmbeddedSettingsText(const std::wstring& executablePath, const std::wstring& upgradeCode,
                                      std::wstring& text) {
    text.clear();
    std::string file;
    if (ReadWholeFile(FileSystemPath(executablePath), file) != InputRead::read) return EmbeddedRead::notAnImage;
    PeImage image;
    std::string problem;
    std::vector<Resource> resources;
    if (!image.Load(Bytes(file.begin(), file.end()), problem, PeImage::kReading) ||
        !image.ReadResources(resources, problem)) {
        return EmbeddedRead::notAnImage;
    }
    const Resource* settings = FindRcData(resources, kSettingsResource);
    if (settings == nullptr) return EmbeddedRead::none;
    const Resource* passPhrase = FindRcData(resources, kPassPhraseResource);
    std::u16string plain;
    if (!DecipherPayload(passPhrase == nullptr ? nullptr : &passPhrase->data, settings->data, ToUtf8(upgradeCode),
                         plain)) {
        return EmbeddedRead::undecipherable;
    }
    text = FromUtf8(Utf8FromUtf16(plain));
    return EmbeddedRead::text;
}

}  // namespace zorv::tool
