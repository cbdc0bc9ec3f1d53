// embed, icon, version, manifest, subsystem and show: each reads its inputs whole, changes the
// resources in memory and writes the result through a temporary file, so a
// refusal or a failure never leaves a half-written executable behind.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <ostream>
#include <sstream>
#include <tuple>

#include "launcher/ini_document.h"
#include "launcher/utf8.h"
#include "tool/byte_range.h"
#include "tool/embedded_payload.h"
#include "tool/icon_file.h"
#include "tool/input_file.h"
#include "tool/manifest_settings.h"
#include "tool/output_file.h"
#include "tool/pe_image.h"
#include "tool/tool_commands.h"
#include "tool/tool_text.h"
#include "tool/utf.h"
#include "tool/version_resource.h"

namespace zorv::tool {
namespace {

constexpr std::uint16_t kPassPhraseId = 9000;
constexpr std::uint16_t kSettingsId = 8000;

// The positional arguments and the values of the options, which all take one.
struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;

    const std::string* Option(const std::string& name) const {
        auto found = options.find(name);
        return found != options.end() ? &found->second : nullptr;
    }
};

bool Parse(const Arguments& args, std::initializer_list<const char*> known, std::size_t positionals, Parsed& parsed,
           std::ostream& err) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (std::find(known.begin(), known.end(), arg) == known.end()) {
            err << "zorvtool: unknown option \"" << arg << "\"\n";
            return false;
        }
        if (i + 1 == args.size()) {
            err << "zorvtool: " << arg << " needs a value\n";
            return false;
        }
        parsed.options[arg] = args[++i];
    }
    if (parsed.positional.size() != positionals) {
        err << "zorvtool: expected " << positionals << " file name(s), got " << parsed.positional.size() << "\n";
        return false;
    }
    return true;
}

int Refuse(std::ostream& err, const std::string& path, const std::string& problem) {
    err << "zorvtool: " << path << " " << problem << "\n";
    return kToolInputRefused;
}

int ReadInput(std::ostream& err, const std::string& path, Bytes& bytes) {
    const InputRead result = ReadWholeFile(path, bytes);
    return result == InputRead::read ? kToolSucceeded : Refuse(err, path, InputProblem(result));
}

int LoadImage(std::ostream& err, const std::string& path, PeImage& image, std::vector<Resource>& resources,
              PeImage::Purpose purpose = PeImage::kRewriting) {
    Bytes bytes;
    std::string problem;
    if (int result = ReadInput(err, path, bytes)) return result;
    if (!image.Load(std::move(bytes), problem, purpose) || !image.ReadResources(resources, problem)) {
        return Refuse(err, path, problem);
    }
    return kToolSucceeded;
}

int SaveImage(std::ostream& err, const std::string& path, PeImage& image, const std::vector<Resource>& resources) {
    std::string problem;
    if (!image.WriteResources(resources, problem)) return Refuse(err, path, problem);
    if (WriteAtomically(path, image.File())) return kToolSucceeded;
    err << "zorvtool: cannot write " << path << "\n";
    return kToolWriteFailed;
}

void RemoveAll(std::vector<Resource>& resources, const ResourceKey& type, const ResourceKey* name) {
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& resource) {
                                       return resource.type == type && (name == nullptr || resource.name == *name);
                                   }),
                    resources.end());
}

// Word by word, as RCDATA statements take numbers: the enciphered UTF-16
// text always has an even length.
std::string RcText(const EmbeddedPayload& payload) {
    std::ostringstream rc;
    rc << "// Embedded settings written by zorvtool: 9000 holds the pass phrase of 8000.\n"
          "LANGUAGE 0, 0\n";
    for (const auto& resource : {std::make_pair(kPassPhraseId, &payload.passPhrase), std::make_pair(kSettingsId, &payload.settings)}) {
        rc << "\n" << resource.first << " RCDATA\nBEGIN";
        const Bytes& bytes = *resource.second;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            rc << (i == 0 ? "\n    " : i % 16 == 0 ? ",\n    " : ", ") << "0x" << std::hex << std::setw(4)
               << std::setfill('0') << (bytes[i] | bytes[i + 1] << 8) << std::dec;
        }
        rc << "\nEND\n";
    }
    return rc.str();
}

std::string IniBeside(const std::string& path) {
    return std::filesystem::path(path).replace_extension(".ini").string();
}

// The "Upgrade Code" of the settings file beside the program, as the launcher
// reads it; empty when there is none.
std::string UpgradeCodeBeside(const std::string& path) {
    IniDocument document;
    ReadSettingsFile(IniBeside(path), document);
    const IniEntry* code = document.Find(L"Product Information", L"Upgrade Code");
    return code != nullptr ? ToUtf8(code->value) : "";
}

// Written, such settings would decipher to what a wrong Upgrade Code gives:
// show and check could never read them back.
std::string UnembeddableProblem(const TextPlace& place) {
    std::ostringstream problem;
    const bool surrogate = place.unit >= 0xD800 && place.unit < 0xE000;
    problem << "has " << (surrogate ? "half a surrogate pair, 0x" : "the control character 0x") << std::hex
            << std::uppercase << std::setw(surrogate ? 4 : 2) << std::setfill('0') << place.unit << std::dec
            << ", at line " << place.line << ", column " << place.column << ": embedded settings cannot hold it";
    return problem.str();
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void ListResources(std::ostream& out, std::vector<Resource> resources) {
    std::sort(resources.begin(), resources.end(), [](const Resource& left, const Resource& right) {
        return std::tie(left.type, left.name, left.language) < std::tie(right.type, right.name, right.language);
    });
    out << "Resources:\n";
    for (const Resource& resource : resources) {
        out << "  " << DescribeKey(resource.type, true) << " " << DescribeKey(resource.name, false) << ", language 0x"
            << std::hex << std::setw(4) << std::setfill('0') << resource.language << std::dec << ", "
            << resource.data.size() << " bytes\n";
    }
}

void ShowVersion(std::ostream& out, const std::vector<Resource>& resources) {
    for (const Resource& resource : resources) {
        VersionNode root;
        if (resource.type != IdKey(kTypeVersion) || !ParseVersionNode(resource.data, root)) continue;
        out << "Version information:\n";
        for (const auto& text : VersionTexts(root)) out << "  " << Utf8FromUtf16(text.first) << ": " << Utf8FromUtf16(text.second) << "\n";
        return;
    }
}

// The manifest the loader reads, in the lowest language when there are several.
const Resource* FindManifest(const std::vector<Resource>& resources) {
    const Resource* found = nullptr;
    for (const Resource& resource : resources) {
        if (resource.type == IdKey(kTypeManifest) && resource.name == IdKey(1) &&
            (found == nullptr || resource.language < found->language)) {
            found = &resource;
        }
    }
    return found;
}

void ShowManifestValues(std::ostream& out, const ManifestValues& values) {
    out << "Manifest:\n"
        << "  Execution level: " << (values.executionLevel.empty() ? "none requested (asInvoker)" : values.executionLevel) << "\n"
        << "  DPI awareness: " << values.dpiAwareness << "\n"
        << "  Long path aware: " << (values.longPathAware ? "yes" : "no") << "\n";
}

void ShowManifest(std::ostream& out, const std::vector<Resource>& resources) {
    const Resource* manifest = FindManifest(resources);
    if (manifest == nullptr) {
        out << "No manifest (no MANIFEST 1).\n";
        return;
    }
    XmlDocument document;
    std::string problem;
    if (!ParseXmlDocument(std::string(manifest->data.begin(), manifest->data.end()), document, problem)) {
        out << "Manifest: not read, it " << problem << "\n";
        return;
    }
    ShowManifestValues(out, ReadManifestValues(document));
}

const Resource* FindRcData(const std::vector<Resource>& resources, std::uint16_t id) {
    for (const Resource& resource : resources) {
        if (resource.type == IdKey(kTypeRcData) && resource.name == IdKey(id)) return &resource;
    }
    return nullptr;
}

}  // namespace

int EmbedCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    Parsed parsed;
    if (!Parse(args, {"--upgrade-code", "-o", "--res", "--rc"}, 2, parsed, err)) return kToolUsageError;
    const std::string* upgradeCode = parsed.Option("--upgrade-code");
    const std::string* exe = parsed.Option("-o");
    const std::string* res = parsed.Option("--res");
    const std::string* rc = parsed.Option("--rc");
    if (upgradeCode == nullptr || (exe == nullptr && res == nullptr && rc == nullptr)) {
        err << "zorvtool: embed needs --upgrade-code and at least one of -o, --res and --rc\n";
        return kToolUsageError;
    }
    if (!IsAscii(*upgradeCode)) {
        err << "zorvtool: the Upgrade Code must be ASCII: the launcher hashes it in each user's ANSI code page\n";
        return kToolUsageError;
    }
    const std::string& launcherPath = parsed.positional[0];
    const std::string& settingsPath = parsed.positional[1];
    Bytes settings;
    if (int result = ReadInput(err, settingsPath, settings)) return result;
    TextPlace place;
    if (FindUnembeddable(SettingsFileText(settings), place)) return Refuse(err, settingsPath, UnembeddableProblem(place));
    PeImage image;
    std::vector<Resource> resources;
    if (exe != nullptr) {
        if (int result = LoadImage(err, launcherPath, image, resources)) return result;
    }

    const Bytes text = SettingsFileAsUtf16(settings);
    const EmbeddedPayload payload = EncipherPayload(text, *upgradeCode, PassPhraseFor(text, *upgradeCode));
    const std::vector<Resource> embedded = {
        {IdKey(kTypeRcData), IdKey(kPassPhraseId), kLanguageNeutral, 0, payload.passPhrase},
        {IdKey(kTypeRcData), IdKey(kSettingsId), kLanguageNeutral, 0, payload.settings},
    };
    if (res != nullptr && !WriteAtomically(*res, BuildResFile(embedded))) {
        err << "zorvtool: cannot write " << *res << "\n";
        return kToolWriteFailed;
    }
    if (rc != nullptr) {
        const std::string text = RcText(payload);
        if (!WriteAtomically(*rc, Bytes(text.begin(), text.end()))) {
            err << "zorvtool: cannot write " << *rc << "\n";
            return kToolWriteFailed;
        }
    }
    if (exe == nullptr) return kToolSucceeded;
    // Earlier settings in any language would shadow the new neutral ones.
    for (std::uint16_t id : {kPassPhraseId, kSettingsId}) {
        const ResourceKey name = IdKey(id);
        RemoveAll(resources, IdKey(kTypeRcData), &name);
    }
    resources.insert(resources.end(), embedded.begin(), embedded.end());
    if (int result = SaveImage(err, *exe, image, resources)) return result;
    out << "zorvtool: embedded " << settingsPath << " in " << *exe << "\n";
    return kToolSucceeded;
}

int IconCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    Parsed parsed;
    if (!Parse(args, {}, 2, parsed, err)) return kToolUsageError;
    const std::string& exe = parsed.positional[0];
    const std::string& icon = parsed.positional[1];
    Bytes iconFile;
    std::vector<IconImage> images;
    if (int result = ReadInput(err, icon, iconFile)) return result;
    if (!ParseIconFile(iconFile, images)) return Refuse(err, icon, "is not an icon file");
    PeImage image;
    std::vector<Resource> resources;
    if (int result = LoadImage(err, exe, image, resources)) return result;
    if (!ReplaceIconGroup(resources, images)) {
        return Refuse(err, exe, "has too few free icon numbers left for the " + std::to_string(images.size()) +
                                    " images of " + icon);
    }
    if (int result = SaveImage(err, exe, image, resources)) return result;
    out << "zorvtool: " << exe << " now has the " << images.size() << " image(s) of " << icon << "\n";
    return kToolSucceeded;
}

int VersionCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    Parsed parsed;
    if (!Parse(args, {"--product-name", "--version", "--company", "--description"}, 1, parsed, err)) {
        return kToolUsageError;
    }
    if (parsed.options.empty()) {
        err << "zorvtool: version needs at least one of --product-name, --version, --company and --description\n";
        return kToolUsageError;
    }
    VersionFields fields;
    if (const std::string* version = parsed.Option("--version")) {
        VersionNumbers numbers;
        if (!ParseVersionNumbers(*version, numbers)) {
            err << "zorvtool: --version takes up to four numbers from 0 to 65535, as in 1.2.3.4\n";
            return kToolUsageError;
        }
        fields.version = numbers;
        fields.versionText = *version;
    }
    if (const std::string* name = parsed.Option("--product-name")) fields.productName = Utf16FromUtf8(*name);
    if (const std::string* company = parsed.Option("--company")) fields.company = Utf16FromUtf8(*company);
    if (const std::string* description = parsed.Option("--description")) fields.description = Utf16FromUtf8(*description);

    const std::string& exe = parsed.positional[0];
    PeImage image;
    std::vector<Resource> resources;
    if (int result = LoadImage(err, exe, image, resources)) return result;
    // One version resource, in the language of the one it replaces.
    const Resource* existing = nullptr;
    for (const Resource& resource : resources) {
        if (resource.type == IdKey(kTypeVersion) && (existing == nullptr || resource.name < existing->name)) existing = &resource;
    }
    Resource branded{IdKey(kTypeVersion), IdKey(1), kLanguageUsEnglish, 0, {}};
    if (existing != nullptr) {
        branded.name = existing->name;
        branded.language = existing->language;
    }
    if (!BrandedVersion(existing != nullptr ? &existing->data : nullptr, fields, branded.data)) {
        return Refuse(err, exe, "cannot hold version information this long: a version resource holds at most 65535 bytes");
    }
    RemoveAll(resources, IdKey(kTypeVersion), nullptr);
    resources.push_back(std::move(branded));
    if (int result = SaveImage(err, exe, image, resources)) return result;
    out << "zorvtool: " << exe << " has new version information\n";
    return kToolSucceeded;
}

int ManifestCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    Parsed parsed;
    if (!Parse(args, {"--execution-level", "--dpi-awareness", "--long-path-aware"}, 1, parsed, err)) return kToolUsageError;
    ManifestChanges changes;
    if (const std::string* level = parsed.Option("--execution-level")) {
        if (!IsExecutionLevel(*level)) {
            err << "zorvtool: --execution-level is asInvoker, highestAvailable or requireAdministrator, not \"" << *level << "\"\n";
            return kToolUsageError;
        }
        changes.executionLevel = *level;
    }
    if (const std::string* dpi = parsed.Option("--dpi-awareness")) {
        if (!IsDpiAwarenessChoice(*dpi)) {
            err << "zorvtool: --dpi-awareness is runtime, unaware, system or permonitorv2, not \"" << *dpi << "\"\n";
            return kToolUsageError;
        }
        changes.dpiAwareness = *dpi;
    }
    if (const std::string* longPaths = parsed.Option("--long-path-aware")) {
        if (*longPaths != "yes" && *longPaths != "no") {
            err << "zorvtool: --long-path-aware is yes or no, not \"" << *longPaths << "\"\n";
            return kToolUsageError;
        }
        changes.longPathAware = *longPaths == "yes";
    }

    const std::string& exe = parsed.positional[0];
    PeImage image;
    std::vector<Resource> resources;
    // Without a switch it only reads, which a signed program allows.
    const PeImage::Purpose purpose = changes.Empty() ? PeImage::kReading : PeImage::kRewriting;
    if (int result = LoadImage(err, exe, image, resources, purpose)) return result;
    if (FindManifest(resources) == nullptr) return Refuse(err, exe, "has no manifest (no MANIFEST 1)");
    bool changed = false;
    for (Resource& resource : resources) {
        if (resource.type != IdKey(kTypeManifest) || resource.name != IdKey(1)) continue;
        std::string text(resource.data.begin(), resource.data.end());
        std::string problem;
        XmlDocument document;
        const bool read = changes.Empty() ? ParseXmlDocument(text, document, problem) : ChangeManifest(text, changes, problem);
        if (!read) return Refuse(err, exe, "has a manifest that " + problem);
        changed = changed || text != std::string(resource.data.begin(), resource.data.end());
        resource.data.assign(text.begin(), text.end());
    }
    const Resource* manifest = FindManifest(resources);
    XmlDocument document;
    std::string problem;
    ParseXmlDocument(std::string(manifest->data.begin(), manifest->data.end()), document, problem);
    if (changed) {
        if (int result = SaveImage(err, exe, image, resources)) return result;
        out << "zorvtool: " << exe << " has a new manifest\n";
    } else if (!changes.Empty()) {
        out << "zorvtool: " << exe << " has this manifest already\n";
    }
    ShowManifestValues(out, ReadManifestValues(document));
    return kToolSucceeded;
}

namespace {

std::string SubsystemName(std::uint16_t subsystem) {
    if (subsystem == kSubsystemGui) return "GUI";
    if (subsystem == kSubsystemConsole) return "console";
    return std::to_string(subsystem) + " (neither console nor GUI)";
}

}  // namespace

int SubsystemCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    Parsed parsed;
    if (!Parse(args, {}, 2, parsed, err)) return kToolUsageError;
    const std::string& path = parsed.positional[0];
    const std::string& kind = parsed.positional[1];
    if (kind != "console" && kind != "gui") {
        err << "zorvtool: the subsystem is console or gui, not \"" << kind << "\"\n";
        return kToolUsageError;
    }
    const std::uint16_t wanted = kind == "console" ? kSubsystemConsole : kSubsystemGui;
    Bytes bytes;
    if (int result = ReadInput(err, path, bytes)) return result;
    PeImage image;
    std::string problem;
    if (!image.Load(std::move(bytes), problem)) return Refuse(err, path, problem);
    if (image.IsLibrary()) return Refuse(err, path, "is a library, not a program");
    const std::uint16_t current = image.Subsystem();
    if (current != kSubsystemGui && current != kSubsystemConsole) {
        return Refuse(err, path, "has the subsystem " + SubsystemName(current) + ", not a launcher's");
    }
    if (current == wanted) {
        out << "zorvtool: " << path << " is a " << SubsystemName(wanted) << " program already\n";
        return kToolSucceeded;
    }
    image.SetSubsystem(wanted);
    if (!WriteAtomically(path, image.File())) {
        err << "zorvtool: cannot write " << path << "\n";
        return kToolWriteFailed;
    }
    out << "zorvtool: " << path << " is now a " << SubsystemName(wanted) << " program\n";
    return kToolSucceeded;
}

int ShowCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    Parsed parsed;
    if (!Parse(args, {"--upgrade-code"}, 1, parsed, err)) return kToolUsageError;
    const std::string& path = parsed.positional[0];
    Bytes bytes;
    std::vector<Resource> resources;
    if (int result = ReadInput(err, path, bytes)) return result;
    if (LooksLikeResFile(bytes)) {
        if (!ParseResFile(bytes, resources)) return Refuse(err, path, "is a damaged .res file");
    } else {
        PeImage image;
        std::string problem;
        if (!image.Load(std::move(bytes), problem, PeImage::kReading) || !image.ReadResources(resources, problem)) {
            return Refuse(err, path, problem);
        }
        out << "Subsystem: " << SubsystemName(image.Subsystem()) << "\n";
    }
    ListResources(out, resources);
    ShowVersion(out, resources);
    ShowManifest(out, resources);

    const Resource* settings = FindRcData(resources, kSettingsId);
    if (settings == nullptr) {
        out << "No embedded settings (no RCDATA 8000).\n";
        return kToolSucceeded;
    }
    std::string code;
    std::string source = "--upgrade-code";
    if (const std::string* given = parsed.Option("--upgrade-code")) {
        code = *given;
    } else {
        code = UpgradeCodeBeside(path);
        source = code.empty() ? "none found in " + IniBeside(path) : IniBeside(path);
    }
    const Resource* passPhrase = FindRcData(resources, kPassPhraseId);
    std::u16string text;
    if (!DecipherPayload(passPhrase != nullptr ? &passPhrase->data : nullptr, settings->data, code, text)) {
        err << "zorvtool: the embedded settings do not decipher with the Upgrade Code \"" << code << "\" (" << source
            << "); give the right one with --upgrade-code\n";
        return kToolInputRefused;
    }
    out << "Embedded settings, deciphered with the Upgrade Code \"" << code << "\" (" << source << "):\n"
        << Utf8FromUtf16(text);
    return kToolSucceeded;
}

}  // namespace zorv::tool
