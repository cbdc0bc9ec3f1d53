#include "tool/settings_check.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <ostream>

#include "launcher/date_picture.h"
#include "launcher/file_locations.h"
#include "launcher/ini_document.h"
#include "launcher/launcher_settings.h"
#include "launcher/settings_keys.h"
#include "launcher/settings_store.h"
#include "launcher/text.h"
#include "runtime/version_number.h"
#include "tool/class_file.h"
#include "tool/input_file.h"
#include "tool/tool_text.h"
#include "tool/zip_directory.h"
#include "vm/class_path.h"
#include "vm/memory_options.h"
#include "vm/vm_options.h"

namespace zorv::tool {
namespace {

namespace fs = std::filesystem;

// A finding quotes at most this many characters of a name or value: enough
// to recognise it, and a line of a million characters stays one short line.
constexpr std::size_t kLongestQuote = 200;

std::wstring Enclosed(const std::wstring& text, const wchar_t* open, const wchar_t* close) {
    if (text.size() <= kLongestQuote) return open + text + close;
    std::size_t cut = kLongestQuote;
    // Never half a surrogate pair, where wide strings are UTF-16.
    if (text[cut] >= 0xDC00 && text[cut] < 0xE000) --cut;
    return open + text.substr(0, cut) + L"..." + close + L" (" + DecimalText(text.size()) + L" characters)";
}

std::wstring Quoted(const std::wstring& text) { return Enclosed(text, L"\"", L"\""); }
std::wstring InBrackets(const std::wstring& section) { return Enclosed(section, L"[", L"]"); }

// One settings text as the launcher sees it: the INI file as the profile
// functions read it (names in any letter case), the embedded text in the
// launcher's own syntax (names exactly).
struct Layer {
    std::wstring file;
    IniDocument document;

    bool ExactNames() const { return document.Syntax() == IniSyntax::embedded; }
    bool SameName(const std::wstring& a, const std::wstring& b) const { return document.SameName(a, b); }
};

// A value and the line that gave it; line 0 when no line did.
struct Located {
    std::wstring value;
    std::wstring file;
    int line = 0;
};

class Checker {
public:
    Checker(const CheckTarget& target, const EnvironmentLookup& lookup) : target_(target), lookup_(lookup) {}

    std::vector<Finding> Run();

private:
    void Report(Severity severity, const std::wstring& file, int line, const std::wstring& message) {
        findings_.push_back({file, line, severity, message});
    }
    void Report(Severity severity, const Located& where, const std::wstring& message) {
        Report(severity, where.file, where.line, message);
    }

    InputRead ReadFileLayer();
    void ReadEmbeddedLayer();
    void ReportEntriesBeforeSections(const Layer& layer);
    void CheckNames(const Layer& layer);
    void CheckEntryName(const Layer& layer, const IniDocument::Section& written, const IniEntry& entry,
                        const std::wstring& section, bool plusSection);
    Located Value(const SettingsKey& key) const;
    Located Value(const wchar_t* section, const wchar_t* name) const { return Value(*FindSettingsKey(section, name)); }

    void CheckFlagsAndKeywords();
    void CheckVersions();
    void CheckVmParameters();
    void CheckVmOption(const VmParameter& parameter, const std::wstring& written, std::size_t column,
                       const Located& where);
    void CheckPercentOption(const std::wstring& option, const Located& where);
    void CheckFilePictures();
    void CheckClassPathAndMainClass();
    bool CheckModuleAndJar(const Located& mainClass);
    std::vector<std::wstring> ExpandClassPath(const Located& where, const std::wstring& listName);
    // A path of the settings as the target's launcher reads it: references
    // expanded, and on Linux "/" as the folder separator it is there.
    std::wstring LauncherPath(const std::wstring& written) const;
    bool ItemHoldsClass(const std::wstring& launcherItem, const std::string& classFile, const Located& where);
    void CheckSecondaryMain();

    const CheckTarget& target_;
    const EnvironmentLookup& lookup_;
    Layer file_;
    Layer embedded_;
    std::vector<Finding> findings_;
    // The class path item the main class was found in, and its class file's name there.
    std::wstring mainClassItem_;
    std::string mainClassFile_;
};

InputRead Checker::ReadFileLayer() {
    file_.file = target_.settingsPath;
    const InputRead read = ReadSettingsFile(FileSystemPath(target_.settingsPath), file_.document);
    ReportEntriesBeforeSections(file_);
    for (const IniDocument::Section& section : file_.document.Sections()) {
        for (const IniEntry& entry : section.Entries()) {
            if (entry.hasEquals) continue;
            Report(Severity::warning, file_.file, entry.line,
                   L"line has no \"=\": the key " + Quoted(entry.key) + L" has no value");
        }
    }
    return read;
}

void Checker::ReadEmbeddedLayer() {
    embedded_.file = target_.embeddedName;
    embedded_.document = IniDocument(IniSyntax::embedded);
    const std::wstring& text = target_.embeddedText;
    for (std::size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1)) {
        if (at == 0 || text[at - 1] != L'\r') {
            Report(Severity::warning, embedded_.file, 0,
                   L"embedded settings hold a line feed without a carriage return: only CR LF ends a line there, "
                   L"so the lines around it run together");
            break;
        }
    }
    embedded_.document.Parse(text);
    ReportEntriesBeforeSections(embedded_);
}

void Checker::ReportEntriesBeforeSections(const Layer& layer) {
    for (const IniEntry& entry : layer.document.EntriesBeforeSections()) {
        Report(Severity::warning, layer.file, entry.line, L"line stands before any section header and is ignored");
    }
}

const std::vector<std::wstring>& KnownSections() {
    static const std::vector<std::wstring> sections = SettingsSections();
    return sections;
}

bool SectionHasLayeredKeys(const std::wstring& section) {
    for (const SettingsKey& key : SettingsKeys()) {
        if (key.section == section && key.store == KeyStore::layered) return true;
    }
    return false;
}

// The closest candidate when it is close enough to be a slip of the keyboard.
const std::wstring* Nearest(const std::wstring& name, const std::vector<const std::wstring*>& candidates) {
    const std::wstring* best = nullptr;
    std::size_t bestDistance = 0;
    for (const std::wstring* candidate : candidates) {
        const std::size_t allowed = 2 + std::max(name.size(), candidate->size()) / 6;
        const std::size_t distance = EditDistanceIgnoringCase(name, *candidate, allowed);
        if (distance <= allowed && (best == nullptr || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::wstring DidYouMean(const std::wstring* suggestion) {
    return suggestion == nullptr ? std::wstring() : L"; did you mean " + Quoted(*suggestion) + L"?";
}

void Checker::CheckNames(const Layer& layer) {
    std::vector<const std::wstring*> sectionNames;
    for (const std::wstring& name : KnownSections()) sectionNames.push_back(&name);
    const std::vector<IniDocument::Section>& sections = layer.document.Sections();
    for (const IniDocument::Section& written : sections) {
        const std::wstring& name = written.Name();
        const IniDocument::Section* first = layer.document.FindSection(name);
        if (first != &written) {
            Report(Severity::warning, layer.file, written.Line(),
                   L"section " + InBrackets(name) + L" appears again (first at line " + DecimalText(first->Line()) +
                       L"): only the first one is read");
        }
        bool plus = !name.empty() && name.back() == L'+';
        std::wstring base = plus ? name.substr(0, name.size() - 1) : name;
        const std::wstring* known = nullptr;
        for (const std::wstring& candidate : KnownSections()) {
            if (layer.SameName(candidate, base)) known = &candidate;
        }
        if (known == nullptr) {
            const std::wstring* near = Nearest(base, sectionNames);
            std::wstring message = L"unknown section " + InBrackets(name);
            if (near != nullptr && SameIgnoringAsciiCase(*near, base)) {
                message += L": embedded settings match names exactly, write [" + *near + (plus ? L"+" : L"") + L"]";
            } else {
                message += DidYouMean(near);
            }
            Report(Severity::warning, layer.file, written.Line(), message);
            continue;
        }
        if (plus && layer.ExactNames()) {
            Report(Severity::warning, layer.file, written.Line(),
                   L"[" + name + L"] is read from the INI file only; in the embedded settings it is ignored");
            continue;
        }
        if (plus && !SectionHasLayeredKeys(*known)) {
            Report(Severity::warning, layer.file, written.Line(),
                   L"[" + name + L"] is never read: the keys of [" + *known + L"] come from the INI file alone");
            continue;
        }
        for (const IniEntry& entry : written.Entries()) CheckEntryName(layer, written, entry, *known, plus);
    }
}

void Checker::CheckEntryName(const Layer& layer, const IniDocument::Section& written, const IniEntry& entry,
                             const std::wstring& section, bool plusSection) {
    if (const IniEntry* first = written.FindEntry(entry.key); first != &entry) {
        Report(Severity::warning, layer.file, entry.line,
               L"key " + Quoted(entry.key) + L" repeats line " + DecimalText(first->line) + L": the first one wins");
        return;
    }
    if (section == kEnvironmentSection) {
        const std::wstring problem = VariableNameProblem(entry.key);
        if (!problem.empty()) {
            Report(Severity::error, layer.file, entry.line,
                   L"environment variable name " + Quoted(entry.key) + L" " + problem +
                       L": no variable can have it, and the launcher leaves the key out");
        }
        return;
    }
    const SettingsKey* key = nullptr;
    std::vector<const std::wstring*> inSection;
    const SettingsKey* elsewhere = nullptr;
    for (const SettingsKey& candidate : SettingsKeys()) {
        if (candidate.section == section) {
            inSection.push_back(&candidate.name);
            if (layer.SameName(candidate.name, entry.key)) key = &candidate;
        } else if (SameIgnoringAsciiCase(candidate.name, entry.key)) {
            elsewhere = &candidate;
        }
    }
    std::wstring where = L" in section [" + written.Name() + L"]";
    if (key == nullptr) {
        const std::wstring* near = Nearest(entry.key, inSection);
        std::wstring message = L"unknown key " + Quoted(entry.key) + where;
        if (near != nullptr && SameIgnoringAsciiCase(*near, entry.key)) {
            message += L": embedded settings match names exactly, write " + Quoted(*near);
        } else if (near != nullptr) {
            message += DidYouMean(near);
        } else if (elsewhere != nullptr) {
            message += L": it belongs in section [" + elsewhere->section + L"]";
        }
        Report(Severity::warning, layer.file, entry.line, message);
        return;
    }
    if (key->store == KeyStore::file && (layer.ExactNames() || plusSection)) {
        Report(Severity::warning, layer.file, entry.line,
               L"key " + Quoted(key->name) + L" is read from the INI file's [" + key->section +
                   L"] alone; here it is ignored");
    }
}

// As the launcher reads it: the INI file alone, or layered over the embedded text.
Located Checker::Value(const SettingsKey& key) const {
    if (key.store == KeyStore::file) {
        const IniEntry* entry = file_.document.Find(key.section, key.name);
        if (entry == nullptr) return {std::wstring(), target_.settingsPath, 0};
        return {entry->value, file_.file, entry->line};
    }
    LayeredValue layered = LayeredLookup(file_.document, embedded_.document, key.section, key.name);
    if (layered.entry == nullptr) return {layered.value, target_.settingsPath, 0};
    return {layered.value, layered.entryIsEmbedded ? embedded_.file : file_.file, layered.entry->line};
}

bool IsNo(const std::wstring& value) { return SameIgnoringAsciiCase(value, L"no"); }

void Checker::CheckFlagsAndKeywords() {
    for (const SettingsKey& key : SettingsKeys()) {
        Located value = Value(key);
        if (value.value.empty()) continue;
        const std::wstring setting = Quoted(key.name + L"=" + value.value);
        const bool spaced = value.value[0] == L' ';
        const std::wstring trimmed = TrimWhiteSpace(value.value);
        switch (key.form) {
            case ValueForm::yesFlag:
                if (IsYesFlag(value.value) || IsNo(trimmed)) break;
                Report(Severity::warning, value,
                       spaced && IsYesFlag(trimmed)
                           ? setting + L" begins with the space a \"+\" section adds, so the flag stays off"
                           : setting + L" is not \"Yes\": the flag stays off");
                break;
            case ValueForm::exactYesFlag:
                if (IsExactYesFlag(value.value) || IsNo(trimmed)) break;
                if (spaced && IsExactYesFlag(trimmed)) {
                    Report(Severity::warning, value,
                           setting + L" begins with the space a \"+\" section adds, so it stays off");
                } else if (IsYesFlag(trimmed)) {
                    Report(Severity::warning, value,
                           setting + L" leaves it off: this key takes \"yes\" in lower case only");
                } else {
                    Report(Severity::warning, value, setting + L" is not \"yes\": it stays off");
                }
                break;
            case ValueForm::exactKeyword:
            case ValueForm::anyCaseKeyword: {
                const bool anyCase = key.form == ValueForm::anyCaseKeyword;
                const std::wstring* caseMatch = nullptr;
                std::vector<const std::wstring*> keywords;
                for (const std::wstring& keyword : key.keywords) {
                    if (keyword == value.value || (anyCase && SameIgnoringAsciiCase(keyword, value.value))) {
                        caseMatch = nullptr;
                        keywords.clear();
                        break;
                    }
                    if (SameIgnoringAsciiCase(keyword, trimmed)) caseMatch = &keyword;
                    keywords.push_back(&keyword);
                }
                if (keywords.empty()) break;
                const std::wstring effect = L": it counts as an unknown keyword (" + key.whenEmpty + L")";
                if (caseMatch != nullptr && spaced) {
                    Report(Severity::warning, value, setting + L" begins with the space a \"+\" section adds" + effect);
                } else if (caseMatch != nullptr) {
                    Report(Severity::warning, value,
                           setting + L" differs in letter case from " + Quoted(*caseMatch) +
                               L", which this key compares exactly" + effect);
                } else {
                    std::wstring known;
                    for (const std::wstring& keyword : key.keywords)
                        known += (known.empty() ? L"" : L", ") + Quoted(keyword);
                    Report(Severity::warning, value,
                           setting + L" is not a keyword of this key (" + known + L")" +
                               DidYouMean(Nearest(trimmed, keywords)));
                }
                break;
            }
            case ValueForm::number:
                if (!trimmed.empty() && trimmed.find_first_not_of(L"0123456789") == std::wstring::npos &&
                    trimmed.size() <= 9)
                    break;
                Report(Severity::error, value, setting + L" is not a whole number of at most 9 digits");
                break;
            default:
                break;
        }
    }
}

void Checker::CheckVersions() {
    const SettingsKey& minimumKey = *FindSettingsKey(L"Java Runtime Environment", L"Minimum Version");
    const SettingsKey& maximumKey = *FindSettingsKey(L"Java Runtime Environment", L"Maximum Version");
    Located minimumText = Value(minimumKey);
    Located maximumText = Value(maximumKey);
    VersionNumber minimum;
    VersionNumber maximum;
    bool minimumSet = minimumText.value == L"any" || minimum.Parse(minimumText.value, 0);
    if (!minimumSet && !minimumText.value.empty()) {
        Report(Severity::warning, minimumText,
               Quoted(L"Minimum Version=" + minimumText.value) +
                   L" holds no version (only \"any\" in lower case is "
                   L"the keyword): the minimum stays 0.0.0.0");
    }
    if (maximumText.value == L"any") {
        maximum = VersionNumber::Open();
    } else if (!maximum.Parse(maximumText.value, VersionNumber::kOpenPart)) {
        Report(Severity::error, maximumText,
               maximumText.value.empty()
                   ? L"\"Maximum Version\" is missing: the maximum is 0.0.0.0 and no registered runtime qualifies "
                     L"(write \"any\" for no limit)"
                   : Quoted(L"Maximum Version=" + maximumText.value) +
                         L" holds no digit: the maximum is 0.0.0.0 and no registered runtime qualifies");
        return;
    }
    if (minimumSet && CompareVersions(minimum, maximum) > 0) {
        Report(Severity::error, maximumText,
               L"\"Maximum Version\" " + maximum.Format() + L" lies below \"Minimum Version\" " + minimum.Format() +
                   L": no registered runtime qualifies");
    }
    Located preferred = Value(*FindSettingsKey(L"Java Runtime Environment", L"Preferred versions"));
    for (const std::wstring& entry : SplitAtSemicolons(preferred.value)) {
        VersionNumber version;
        if (TrimWhiteSpace(entry).empty() || version.Parse(entry, 0)) continue;
        Report(Severity::warning, preferred,
               L"preferred version " + Quoted(entry) + L" holds no digit and so matches every version");
    }
}

void Checker::CheckVmParameters() {
    Located parameters = Value(L"Java Runtime Environment", L"Virtual Machine Parameters");
    const std::wstring& text = parameters.value;
    if (text.empty()) return;
    std::vector<std::size_t> starts;
    const std::vector<std::wstring> tokens = TokeniseVmOptions(text, &starts);
    for (const VmParameter& parameter : ReadVmParameters(tokens)) {
        CheckVmOption(parameter, tokens[parameter.firstToken], starts[parameter.firstToken] + 1, parameters);
    }
}

void Checker::CheckVmOption(const VmParameter& parameter, const std::wstring& written, std::size_t column,
                            const Located& where) {
    // A joined space form is shown as read; any other option as written, quotes and all.
    const std::wstring& shown = parameter.passed != parameter.written ? parameter.written : written;
    const std::wstring at = L"VM parameter " + Quoted(shown) + L" (column " + DecimalText(column) + L")";
    const std::wstring stops = L": the launcher stops before it creates the VM";
    switch (parameter.fate) {
        case VmParameter::Fate::dropped:
            // An empty option (a "+" section's space) does no harm.
            if (!parameter.written.empty())
                Report(Severity::warning, where, at + L" is left out: \"JVM Type\" chooses the VM library");
            return;
        case VmParameter::Fate::refused:
            Report(Severity::error, where,
                   at + L" is an option of the java command, not of the VM" + stops + L"; use " +
                       parameter.useInstead + L" instead");
            return;
        case VmParameter::Fate::missingValue:
            Report(Severity::error, where, at + L" needs a value after it" + stops);
            return;
        case VmParameter::Fate::passed:
            break;
    }
    if (parameter.passed != parameter.written) return;  // a space form joined: checked by the VM
    std::wstring option = parameter.passed;
    if (option.find(L'"') != std::wstring::npos) {
        Report(Severity::warning, where,
               at + L" keeps a double quote after quote removal (" + Quoted(option) +
                   L"): a quote that is never closed does not protect the spaces after it");
    }
    if (option.empty() || option[0] != L'-') {
        Report(Severity::error, where,
               at + L" is not an option (it does not begin with \"-\") and stops the VM; a value with spaces needs "
                    L"double quotes around it");
        return;
    }
    if (StartsWith(option, L"-Djava.class.path=")) {
        Report(Severity::warning, where, at + L" replaces the class path the launcher builds from [Class Path]");
    }
    const wchar_t last = AsciiLower(option.back());
    if (!IsPercentMemoryOption(option) && option.size() > 4 && (last == L'p' || last == L't')) {
        std::wstring prefix = option.substr(0, 4);
        for (const wchar_t* sized : {L"-Xms", L"-Xmx", L"-Xss"}) {
            if (prefix != sized && SameIgnoringAsciiCase(prefix, sized)) {
                Report(
                    Severity::warning, where,
                    at + L" is not computed as a share of memory: only " + Quoted(sized) + L" in that letter case is");
            }
        }
    }
    if (IsPercentMemoryOption(option)) {
        CheckPercentOption(option, where);
        option = option.substr(0, ScanSizeNumbers(option).prefixLength) + L"1K";  // stands for the computed size
    }
    if (StartsWith(option, L"-Xss") && StackSizeFromOption(option) == 0) {
        Report(Severity::warning, where,
               at + L" gives no stack size the launcher understands: the thread main runs on gets the default size");
    }
}

void Checker::CheckPercentOption(const std::wstring& option, const Located& where) {
    const std::wstring at = L"memory share " + Quoted(option);
    SizeNumbers scan = ScanSizeNumbers(option);
    if (scan.numbers.empty()) {
        Report(Severity::warning, where, at + L" holds no number: it becomes " + Quoted(option + L"0K"));
        return;
    }
    const std::uint64_t percent = scan.numbers[0];
    const std::uint64_t minimum = scan.numbers.size() > 1 ? scan.numbers[1] : 0;
    const std::uint64_t maximum = scan.numbers.size() > 2 ? scan.numbers[2] : 0;
    const bool ofPhysical = option.back() == L'p' || option.back() == L'P';
    // The launcher writes the size in kilobytes as a 32-bit signed number.
    const std::uint64_t largestMegabytes = 0x7FFFFFFF / 1024;
    if (scan.numbers.size() > 3)
        Report(Severity::warning, where, at + L" has more than three numbers; the rest are ignored");
    if (percent == 0 && minimum == 0) {
        Report(Severity::warning, where, at + L" is 0 % with no minimum: the size becomes 0K");
    } else if (percent > 100) {
        Report(Severity::warning, where,
               at + L" asks for " + DecimalText(percent) + L" %, more than all of the " +
                   (ofPhysical ? L"physical memory" : L"free address space"));
    }
    if (maximum != 0 && minimum > maximum) {
        Report(Severity::warning, where, at + L" has a minimum above its maximum: the minimum wins");
    }
    if (minimum > largestMegabytes || maximum > largestMegabytes) {
        Report(Severity::warning, where, at + L" has a bound above 2 TB, which the size in kilobytes cannot hold");
    } else if (!ofPhysical && percent != 0 && (maximum == 0 || maximum > largestMegabytes)) {
        Report(Severity::warning, where,
               at + L" is a share of the free address space, which a 64-bit process counts in terabytes: without a "
                    L"maximum the size in kilobytes overflows");
    }
}

// The fields of the pictures, which the rest of a file name's text must not
// be taken for.
const wchar_t kTimeLetters[] = L"Hhmst";
const wchar_t kDateLetters[] = L"dMyg";

// 7 December 2026, 14:05:09.045: a Monday, and every field distinct.
LocalTime SampleTime() {
    LocalTime time;
    time.year = 2026;
    time.month = 12;
    time.dayOfWeek = 1;
    time.day = 7;
    time.hour = 14;
    time.minute = 5;
    time.second = 9;
    time.milliseconds = 45;
    return time;
}

void Checker::CheckFilePictures() {
    for (const wchar_t* keyName : {L"Output File", L"Error File"}) {
        Located located = Value(L"Application", keyName);
        std::wstring name = ExpandReferences(located.value, lookup_);
        std::size_t first = name.find(L'%');
        if (first == std::wstring::npos) continue;
        std::size_t last = name.rfind(L'%');
        const std::wstring at = Quoted(std::wstring(keyName) + L"=" + located.value);
        if (first == last) {
            Report(Severity::warning, located, at + L" has a single \"%\", which is dropped from the file name");
            continue;
        }
        std::wstring picture = name.substr(first + 1, last - first - 1);
        if (picture.find(L'%') != std::wstring::npos) {
            Report(Severity::warning, located,
                   at + L" has more than two \"%\": everything from the first to the last is one picture, and the "
                        L"\"%\" inside stay in the file name");
        }
        std::wstring strangers;
        bool quoted = false;
        for (wchar_t c : picture) {
            if (c == L'\'') quoted = !quoted;
            bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
            if (!quoted && letter && c != L'L' && std::wcschr(kTimeLetters, c) == nullptr &&
                std::wcschr(kDateLetters, c) == nullptr && strangers.find(c) == std::wstring::npos) {
                strangers += c;
            }
        }
        std::wstring millis = picture;
        for (std::size_t l = millis.find(L'L'); l != std::wstring::npos; l = millis.find(L'L', l + 2))
            millis.replace(l, 1, L"45");
        std::wstring formatted = name.substr(0, first) +
                                 FormatDateFields(FormatTimeFields(millis, SampleTime()), SampleTime()) +
                                 name.substr(last + 1);
        const std::wstring sample = L" (it gives " + Quoted(formatted) + L" on 7 December 2026 at 14:05:09.045)";
        if (!strangers.empty()) {
            Report(Severity::warning, located,
                   at + L": the letters " + Quoted(strangers) +
                       L" in the picture are no date or time fields and stay as written; an undefined "
                       L"environment variable is read as a picture" +
                       sample);
        }
        if (picture.find(L'm') != std::wstring::npos && picture.find_first_of(L"Hh") == std::wstring::npos &&
            picture.find_first_of(L"dy") != std::wstring::npos) {
            Report(Severity::warning, located, at + L": \"m\" is the minute; the month is \"M\"" + sample);
        }
        std::size_t bad = formatted.find_first_of(L":*?\"<>|", 2);
        if (bad != std::wstring::npos) {
            Report(Severity::warning, located,
                   at + L" puts " + Quoted(std::wstring(1, formatted[bad])) +
                       L", which a file name cannot hold, into the name" + sample);
        }
    }
}

// Only the last path component may hold wildcards, as in the system's file
// search; letter case is ignored on Windows.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name, bool ignoreCase) {
    auto same = [&](std::size_t p, std::size_t n) {
        return ignoreCase ? std::towlower(static_cast<std::wint_t>(pattern[p])) == std::towlower(static_cast<std::wint_t>(name[n]))
                          : pattern[p] == name[n];
    };
    std::size_t p = 0, n = 0, starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || same(p, n))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

std::vector<std::wstring> FindNames(const std::wstring& launcherPattern, bool ignoreCase) {
    std::vector<std::wstring> names;
    std::wstring folder = FolderOf(launcherPattern);
    std::wstring leaf = launcherPattern.substr(
        launcherPattern.rfind(L'\\') == std::wstring::npos ? 0 : launcherPattern.rfind(L'\\') + 1);
    std::error_code error;
    fs::path nativeFolder = FileSystemPath(NativePathOf(folder.empty() ? L"." : folder));
    if (leaf.find_first_of(L"*?") == std::wstring::npos) {
        if (!leaf.empty() && fs::exists(nativeFolder / FileSystemPath(leaf), error)) names.push_back(leaf);
        return names;
    }
    for (fs::directory_iterator it(nativeFolder, error), end; !error && it != end; it.increment(error)) {
        std::wstring name = WidePath(it->path().filename());
        if (WildcardMatch(leaf, name, ignoreCase)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Checker::LauncherPath(const std::wstring& written) const {
    std::wstring path = ExpandReferences(written, lookup_);
    if (target_.conventions == &kLinuxConventions) std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The class path as the launcher builds it, one item per entry it lists.
std::vector<std::wstring> Checker::ExpandClassPath(const Located& where, const std::wstring& listName) {
    std::vector<std::wstring> items;
    const std::wstring executable = LauncherPathOf(target_.executablePath);
    const SystemConventions& conventions = *target_.conventions;
    const bool linuxLauncher = &conventions == &kLinuxConventions;
    for (const std::wstring& piece : SplitAtSemicolons(where.value)) {
        std::wstring entry = LauncherPath(piece);
        if (entry.empty()) continue;
        std::vector<std::wstring> found;
        if (entry.find(L'*') != std::wstring::npos || !IsAbsolutePath(entry, conventions)) {
            std::wstring pattern = ClassPathSearchPattern(entry, executable, conventions);
            for (const std::wstring& name : FindNames(pattern, !linuxLauncher)) {
                if (name != L"." && name != L"..") found.push_back(FolderOf(pattern) + L"\\" + name);
            }
        } else {
            std::error_code error;
            if (fs::exists(FileSystemPath(NativePathOf(entry)), error)) found.push_back(entry);
        }
        if (found.empty()) {
            Report(Severity::warning, where, listName + L" entry " + Quoted(piece) + L" matches nothing");
        }
        items.insert(items.end(), found.begin(), found.end());
    }
    return items;
}

bool Checker::ItemHoldsClass(const std::wstring& launcherItem, const std::string& classFile, const Located& where) {
    fs::path item = FileSystemPath(NativePathOf(launcherItem));
    std::error_code error;
    if (fs::is_directory(item, error)) return fs::exists(item / fs::u8path(classFile), error);
    std::string bytes;
    std::vector<std::string> names;
    if (ReadWholeFile(item, bytes) != InputRead::read || !ReadZipEntryNames(bytes, names)) {
        Report(Severity::warning, where,
               L"class path item " + Quoted(launcherItem) + L" is neither a folder nor a jar file");
        return false;
    }
    return std::find(names.begin(), names.end(), classFile) != names.end();
}

// "Main Module" wins over "Main Jar", which wins over "Main Class": true when
// one of the first two names the application.
bool Checker::CheckModuleAndJar(const Located& mainClass) {
    Located module = Value(L"Java Runtime Environment", L"Main Module");
    Located jar = Value(L"Java Runtime Environment", L"Main Jar");
    const Located& winner = module.value.empty() ? jar : module;
    if (winner.value.empty()) return false;
    const std::wstring wins = Quoted(module.value.empty() ? L"Main Jar" : L"Main Module");
    for (const Located* loser : {static_cast<const Located*>(&jar), &mainClass}) {
        if (loser != &winner && !loser->value.empty())
            Report(Severity::warning, *loser, wins + L" names the application: " + Quoted(loser->value) + L" is not used");
    }
    Located modulePath = Value(L"Class Path", L"Module Path");
    ExpandClassPath(modulePath, L"module path");
    if (!module.value.empty() || jar.value.empty()) return true;
    std::wstring path = LauncherPath(jar.value);
    if (!IsAbsolutePath(path, *target_.conventions))
        path = FolderOf(LauncherPathOf(target_.executablePath)) + L"\\" + path;
    std::string bytes;
    std::vector<std::string> names;
    const InputRead read = ReadWholeFile(FileSystemPath(NativePathOf(path)), bytes);
    if (read == InputRead::unreadable) {
        Report(Severity::error, jar, L"\"Main Jar\" " + Quoted(jar.value) + L" does not exist or cannot be read");
    } else if (read != InputRead::read) {
        Report(Severity::error, jar, L"\"Main Jar\" " + Quoted(jar.value) + L" " + FromUtf8(InputProblem(read)));
    } else if (!ReadZipEntryNames(bytes, names) ||
               std::find(names.begin(), names.end(), "META-INF/MANIFEST.MF") == names.end()) {
        Report(Severity::error, jar,
               L"\"Main Jar\" " + Quoted(jar.value) + L" is no jar with a manifest: the runtime finds no Main-Class");
    }
    return true;
}

void Checker::CheckClassPathAndMainClass() {
    Located classPath = Value(L"Class Path", L"Class Path");
    Located embeddedJar = Value(L"Application", L"Embedded Jar");
    std::vector<std::wstring> items = ExpandClassPath(classPath, L"class path");
    if (IsYesFlag(embeddedJar.value)) items.insert(items.begin(), LauncherPathOf(target_.executablePath));
    Located mainClass = Value(L"Java Runtime Environment", L"Main Class");
    if (CheckModuleAndJar(mainClass)) return;
    if (items.empty()) {
        Report(Severity::error, classPath,
               L"the class path is empty: the launcher reports \"Java Class Path was not specified in INI file.\"");
    }
    if (mainClass.value.empty()) {
        Report(Severity::error, mainClass,
               L"\"Main Class\" is missing: the launcher stops with \"Main class was not specified in INI file.\"");
        return;
    }
    std::wstring jniName = mainClass.value;
    std::replace(jniName.begin(), jniName.end(), L'.', L'/');
    if (items.empty()) return;
    std::string classFile = ToUtf8(jniName) + ".class";
    for (const std::wstring& item : items) {
        if (!ItemHoldsClass(item, classFile, mainClass)) continue;
        mainClassItem_ = item;
        mainClassFile_ = classFile;
        return;
    }
    std::wstring hint = StartsWith(AsciiFolded(jniName).substr(jniName.size() >= 6 ? jniName.size() - 6 : 0), L"/class")
                            ? L"; write the class name without \".class\""
                            : std::wstring();
    Report(Severity::error, mainClass,
           L"main class " + Quoted(mainClass.value) + L" is in no class path entry (no " + FromUtf8(classFile) +
               L" in " + DecimalText(items.size()) + (items.size() == 1 ? L" item" : L" items") + L")" + hint);
}

// A main class without secondaryMain under "Single Instance=yes": second
// starts hand their arguments to nobody.
void Checker::CheckSecondaryMain() {
    Located singleInstance = Value(L"Application", L"Single Instance");
    if (!IsExactYesFlag(singleInstance.value) || Value(L"Application", L"Application Type").value == L"service" ||
        mainClassItem_.empty()) {
        return;
    }
    constexpr std::size_t kLargestClass = 16 << 20;
    fs::path item = FileSystemPath(NativePathOf(mainClassItem_));
    std::error_code error;
    std::string bytes, classBytes;
    const bool read =
        fs::is_directory(item, error)
            ? ReadWholeFile(item / fs::u8path(mainClassFile_), classBytes) == InputRead::read
            : ReadWholeFile(item, bytes) == InputRead::read &&
                  ReadZipEntry(bytes, mainClassFile_, kLargestClass, classBytes);
    if (!read) return;
    for (const char* descriptor : {"([Ljava/lang/String;)V", "([Ljava/lang/String;)I"}) {
        if (FindStaticMethod(classBytes, "secondaryMain", descriptor) != MethodLookup::absent) return;
    }
    Report(Severity::warning, singleInstance,
           L"\"Single Instance=yes\" but the main class has no static secondaryMain(String[]): a second start ends "
           L"with -1 at once and its arguments reach nobody");
}

std::vector<Finding> Checker::Run() {
    const InputRead read = ReadFileLayer();
    if (read != InputRead::read) {
        Report(Severity::error, target_.settingsPath, 0, L"settings file " + FromUtf8(InputProblem(read)));
    }
    ReadEmbeddedLayer();
    CheckNames(file_);
    CheckNames(embedded_);
    CheckFlagsAndKeywords();
    CheckVersions();
    CheckVmParameters();
    CheckFilePictures();
    CheckClassPathAndMainClass();
    CheckSecondaryMain();
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    return findings_;
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    const char digits[] = "0123456789abcdef";
                    out += "\\u00";
                    out += digits[c >> 4];
                    out += digits[c & 15];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

const char* SeverityName(Severity severity) { return severity == Severity::error ? "error" : "warning"; }

}  // namespace

std::vector<Finding> CheckSettings(const CheckTarget& target, const EnvironmentLookup& lookup) {
    return Checker(target, lookup).Run();
}

std::wstring SettingsFileValue(const std::wstring& settingsPath, const std::wstring& section, const std::wstring& key) {
    IniDocument document;
    ReadSettingsFile(FileSystemPath(settingsPath), document);
    const IniEntry* entry = document.Find(section, key);
    return entry == nullptr ? std::wstring() : entry->value;
}

int CheckExitCode(const std::vector<Finding>& findings) {
    int code = 0;
    for (const Finding& finding : findings) code = std::max(code, finding.severity == Severity::error ? 2 : 1);
    return code;
}

void WriteFindingsText(const std::vector<Finding>& findings, std::ostream& out) {
    for (const Finding& finding : findings) {
        out << ToUtf8(finding.file);
        if (finding.line > 0) out << ':' << finding.line;
        out << ": " << SeverityName(finding.severity) << ": " << ToUtf8(finding.message) << '\n';
    }
}

void WriteFindingsJson(const std::vector<Finding>& findings, std::ostream& out) {
    out << '[';
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& finding = findings[i];
        out << (i == 0 ? "\n  " : ",\n  ") << "{\"file\": " << JsonString(finding.file) << ", \"line\": ";
        if (finding.line > 0)
            out << finding.line;
        else
            out << "null";
        out << ", \"severity\": \"" << SeverityName(finding.severity)
            << "\", \"message\": " << JsonString(finding.message) << '}';
    }
    out << (findings.empty() ? "]\n" : "\n]\n");
}

std::size_t EditDistanceIgnoringCase(const std::wstring& a, const std::wstring& b, std::size_t limit) {
    const std::size_t longer = std::max(a.size(), b.size()), shorter = std::min(a.size(), b.size());
    if (longer - shorter > limit) return limit + 1;
    std::wstring x = AsciiFolded(a), y = AsciiFolded(b);
    std::vector<std::size_t> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= x.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        std::size_t least = row[0];
        for (std::size_t j = 1; j <= y.size(); ++j) {
            std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
            least = std::min(least, row[j]);
        }
        // No cell of a later row is smaller than the least of this one.
        if (least > limit) return limit + 1;
    }
    return std::min(row[y.size()], limit + 1);
}

}  // namespace zorv::tool
