#include "tool/manifest_settings.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace zorv::tool {
namespace {

const char kAssembly[] = "urn:schemas-microsoft-com:asm.v1";
const char kAsmV2[] = "urn:schemas-microsoft-com:asm.v2";
const char kAsmV3[] = "urn:schemas-microsoft-com:asm.v3";
const char kSettings2005[] = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";
const char kSettings2016[] = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";
constexpr std::size_t kNone = XmlElement::kNoParent;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool Is(const XmlElement& element, const char* uri, const char* localName) {
    return element.namespaceUri == uri && element.localName == localName;
}

// trustInfo and what it holds are read in either namespace manifests use.
bool IsTrust(const XmlElement& element, const char* localName) {
    return Is(element, kAsmV2, localName) || Is(element, kAsmV3, localName);
}

bool IsApplication(const XmlDocument& document, std::size_t index) {
    return Is(document.elements[index], kAsmV3, "application") && document.elements[index].parent == 0;
}

// The loader reads the window settings of <application> right under the
// root; the <application> of the compatibility section is another one.
bool IsWindowsSettings(const XmlDocument& document, std::size_t index) {
    const XmlElement& element = document.elements[index];
    return Is(element, kAsmV3, "windowsSettings") && element.parent != kNone && IsApplication(document, element.parent);
}

std::vector<std::size_t> WindowsSettings(const XmlDocument& document, const char* uri, const char* localName) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < document.elements.size(); ++i) {
        const XmlElement& element = document.elements[i];
        if (Is(element, uri, localName) && element.parent != kNone && IsWindowsSettings(document, element.parent)) {
            found.push_back(i);
        }
    }
    return found;
}

// assembly > trustInfo > security > requestedPrivileges > requestedExecutionLevel
std::vector<std::size_t> ExecutionLevels(const XmlDocument& document) {
    static const char* const kChain[] = {"requestedPrivileges", "security", "trustInfo"};
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < document.elements.size(); ++i) {
        if (!IsTrust(document.elements[i], "requestedExecutionLevel")) continue;
        std::size_t up = document.elements[i].parent;
        bool inPlace = true;
        for (const char* name : kChain) {
            inPlace = inPlace && up != kNone && IsTrust(document.elements[up], name);
            up = inPlace ? document.elements[up].parent : kNone;
        }
        if (inPlace && up == 0) found.push_back(i);
    }
    return found;
}

std::size_t ChildOf(const XmlDocument& document, std::size_t parent, bool (*matches)(const XmlElement&, const char*),
                    const char* localName) {
    for (std::size_t i = parent + 1; i < document.elements.size(); ++i) {
        if (document.elements[i].parent == parent && matches(document.elements[i], localName)) return i;
    }
    return kNone;
}

std::string DpiFromAwareness(const std::string& list) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string item = Lower(Trimmed(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (item == "unaware" || item == "system" || item == "permonitor" || item == "permonitorv2") return item;
        if (comma == std::string::npos) return "";
        start = comma + 1;
    }
}

std::string DpiFromDpiAware(const std::string& value) {
    const std::string item = Lower(Trimmed(value));
    if (item == "true") return "system";
    if (item == "true/pm" || item == "per monitor") return "permonitor";
    return "unaware";
}

// One element to write: its local name and namespace, what goes inside its
// start tag after the name, and its text; the last of a chain has no child.
struct NewElement {
    std::string localName, uri, attributes, text;
};

// The white space a line starts with up to `at`, when nothing else is before
// it on that line.
std::string LineIndent(const std::string& text, std::size_t at) {
    std::size_t start = at;
    while (start > 0 && (text[start - 1] == ' ' || text[start - 1] == '\t')) --start;
    if (start != 0 && text[start - 1] != '\n') return "";
    return text.substr(start, at - start);
}

class Editor {
public:
    explicit Editor(std::string& text) : text_(text), newline_(text.find("\r\n") != std::string::npos ? "\r\n" : "\n") {}

    // The text as it now is, read again: every edit is one splice, on
    // offsets of the latest reading.
    bool Read(XmlDocument& document, std::string& problem) const {
        if (ParseXmlDocument(text_, document, problem)) return true;
        problem = "cannot be changed faithfully: the result " + problem;
        return false;
    }

    // A whole line when the element has one to itself, so no blank line stays.
    void Remove(const XmlElement& element) {
        std::size_t start = element.begin;
        while (start > 0 && (text_[start - 1] == ' ' || text_[start - 1] == '\t')) --start;
        if (start > 0 && text_[start - 1] == '\n') {
            --start;
            if (start > 0 && text_[start - 1] == '\r') --start;
        } else {
            start = element.begin;
        }
        text_.erase(start, element.end - start);
    }

    void SetText(const XmlElement& element, const std::string& value) {
        if (element.emptyTag) {
            text_.replace(element.end - 2, 2, ">" + value + "</" + element.name + ">");
        } else {
            text_.replace(element.contentBegin, element.contentEnd - element.contentBegin, value);
        }
    }

    void SetAttribute(const XmlElement& element, const std::string& name, const std::string& value) {
        if (const XmlAttribute* attribute = element.Attribute(name)) {
            text_.replace(attribute->valueBegin, attribute->valueEnd - attribute->valueBegin, value);
        } else {
            text_.insert(element.begin + 1 + element.name.size(), " " + name + "=\"" + value + "\"");
        }
    }

    // The chain, each element inside the one before, as the parent's last
    // child, on lines of their own and indented as its other children are.
    void Append(const XmlDocument& document, std::size_t parentIndex, const std::vector<NewElement>& chain) {
        const XmlElement& parent = document.elements[parentIndex];
        const std::string parentIndent = LineIndent(text_, parent.begin);
        std::string childIndent;
        for (std::size_t i = parentIndex + 1; i < document.elements.size() && childIndent.empty(); ++i) {
            if (document.elements[i].parent == parentIndex) childIndent = LineIndent(text_, document.elements[i].begin);
        }
        if (childIndent.size() <= parentIndent.size() || childIndent.compare(0, parentIndent.size(), parentIndent) != 0) {
            childIndent = parentIndent + "  ";
        }
        const std::string step = childIndent.substr(parentIndent.size());
        const std::string written = Nested(chain, 0, parent.defaultNamespace, childIndent, step);
        if (parent.emptyTag) {
            text_.replace(parent.end - 2, 2,
                          ">" + newline_ + childIndent + written + newline_ + parentIndent + "</" + parent.name + ">");
            return;
        }
        std::size_t at = parent.contentEnd;
        while (at > parent.contentBegin && IsSpace(text_[at - 1])) --at;
        const bool endOnItsOwnLine = text_.find('\n', at) < parent.contentEnd;
        text_.insert(at, newline_ + childIndent + written + (endOnItsOwnLine ? "" : newline_ + parentIndent));
    }

private:
    std::string Nested(const std::vector<NewElement>& chain, std::size_t index, const std::string& scope,
                       const std::string& indent, const std::string& step) const {
        const NewElement& element = chain[index];
        std::string open = "<" + element.localName;
        if (element.uri != scope) open += " xmlns=\"" + element.uri + "\"";
        open += element.attributes;
        if (index + 1 == chain.size()) {
            return element.text.empty() ? open + "/>" : open + ">" + element.text + "</" + element.localName + ">";
        }
        return open + ">" + newline_ + indent + step + Nested(chain, index + 1, element.uri, indent + step, step) + newline_ +
               indent + "</" + element.localName + ">";
    }

    std::string& text_;
    const std::string newline_;
};

// Sets the text of a window setting (every copy of it), adding the element
// and what it needs around it where there is none; no value removes it.
bool SetWindowsSetting(Editor& editor, const char* uri, const char* localName, const std::optional<std::string>& value,
                       std::string& problem) {
    XmlDocument document;
    if (!editor.Read(document, problem)) return false;
    const std::vector<std::size_t> found = WindowsSettings(document, uri, localName);
    for (auto index = found.rbegin(); index != found.rend(); ++index) {
        if (value) {
            editor.SetText(document.elements[*index], *value);
        } else {
            editor.Remove(document.elements[*index]);
        }
    }
    if (!found.empty() || !value) return true;
    std::vector<NewElement> chain = {{localName, uri, "", *value}};
    std::size_t parent = kNone;
    for (std::size_t i = 0; i < document.elements.size() && parent == kNone; ++i) {
        if (IsWindowsSettings(document, i)) parent = i;
    }
    if (parent == kNone) {
        chain.insert(chain.begin(), NewElement{"windowsSettings", kAsmV3, "", ""});
        for (std::size_t i = 0; i < document.elements.size() && parent == kNone; ++i) {
            if (IsApplication(document, i)) parent = i;
        }
    }
    if (parent == kNone) {
        chain.insert(chain.begin(), NewElement{"application", kAsmV3, "", ""});
        parent = 0;
    }
    editor.Append(document, parent, chain);
    return true;
}

bool SetExecutionLevel(Editor& editor, const std::string& level, std::string& problem) {
    XmlDocument document;
    if (!editor.Read(document, problem)) return false;
    const std::vector<std::size_t> found = ExecutionLevels(document);
    for (auto index = found.rbegin(); index != found.rend(); ++index) {
        editor.SetAttribute(document.elements[*index], "level", level);
    }
    if (!found.empty()) return true;
    // What there is of the chain is kept, in its own namespace.
    std::size_t parent = 0;
    std::vector<NewElement> chain;
    const char* uri = kAsmV3;
    for (const char* name : {"trustInfo", "security", "requestedPrivileges"}) {
        const std::size_t child = chain.empty() ? ChildOf(document, parent, IsTrust, name) : kNone;
        if (child != kNone) {
            parent = child;
            uri = document.elements[child].namespaceUri == kAsmV2 ? kAsmV2 : kAsmV3;
        } else {
            chain.push_back({name, uri, "", ""});
        }
    }
    chain.push_back({"requestedExecutionLevel", uri, " level=\"" + level + "\" uiAccess=\"false\"", ""});
    editor.Append(document, parent, chain);
    return true;
}

std::string Described(const ManifestValues& values) {
    return "execution level \"" + values.executionLevel + "\", DPI awareness " + values.dpiAwareness + ", long path aware " +
           (values.longPathAware ? "yes" : "no");
}

}  // namespace

bool IsExecutionLevel(const std::string& value) {
    return value == "asInvoker" || value == "highestAvailable" || value == "requireAdministrator";
}

bool IsDpiAwarenessChoice(const std::string& value) {
    return value == "runtime" || value == "unaware" || value == "system" || value == "permonitorv2";
}

ManifestValues ReadManifestValues(const XmlDocument& document) {
    ManifestValues values;
    const std::vector<std::size_t> levels = ExecutionLevels(document);
    if (!levels.empty()) {
        const XmlAttribute* level = document.elements[levels.front()].Attribute("level");
        if (level != nullptr) values.executionLevel = level->value;
    }
    const std::vector<std::size_t> awareness = WindowsSettings(document, kSettings2016, "dpiAwareness");
    if (!awareness.empty()) values.dpiAwareness = DpiFromAwareness(document.elements[awareness.front()].text);
    if (values.dpiAwareness.empty()) {
        const std::vector<std::size_t> aware = WindowsSettings(document, kSettings2005, "dpiAware");
        // Without either element the launcher gives each start the awareness java.exe gives its runtime.
        values.dpiAwareness = aware.empty() ? "runtime" : DpiFromDpiAware(document.elements[aware.front()].text);
    }
    const std::vector<std::size_t> longPaths = WindowsSettings(document, kSettings2016, "longPathAware");
    values.longPathAware = !longPaths.empty() && Lower(Trimmed(document.elements[longPaths.front()].text)) == "true";
    return values;
}

bool ChangeManifest(std::string& text, const ManifestChanges& changes, std::string& problem) {
    XmlDocument document;
    if (!ParseXmlDocument(text, document, problem)) return false;
    if (!Is(document.elements.front(), kAssembly, "assembly")) {
        problem = "has no <assembly> of the namespace " + std::string(kAssembly) + " at its root";
        return false;
    }
    ManifestValues expected = ReadManifestValues(document);
    std::string changed = text;
    Editor editor(changed);
    if (changes.executionLevel) {
        if (!SetExecutionLevel(editor, *changes.executionLevel, problem)) return false;
        expected.executionLevel = *changes.executionLevel;
    }
    if (const std::optional<std::string>& dpi = changes.dpiAwareness) {
        const bool perMonitor = *dpi == "permonitorv2";
        const bool named = *dpi == "system" || perMonitor;
        const std::optional<std::string> aware =
            named ? std::optional<std::string>(perMonitor ? "true/pm" : "true") : std::nullopt;
        // Unaware must be said: a manifest that names no awareness leaves it to the launcher.
        const std::optional<std::string> awareness =
            perMonitor ? std::optional<std::string>("PerMonitorV2, PerMonitor")
                       : *dpi == "unaware" ? std::optional<std::string>("unaware") : std::nullopt;
        if (!SetWindowsSetting(editor, kSettings2005, "dpiAware", aware, problem) ||
            !SetWindowsSetting(editor, kSettings2016, "dpiAwareness", awareness, problem)) {
            return false;
        }
        expected.dpiAwareness = *dpi;
    }
    if (changes.longPathAware) {
        const std::optional<std::string> value = *changes.longPathAware ? std::optional<std::string>("true") : std::nullopt;
        if (!SetWindowsSetting(editor, kSettings2016, "longPathAware", value, problem)) return false;
        expected.longPathAware = *changes.longPathAware;
    }
    if (!editor.Read(document, problem)) return false;
    const ManifestValues result = ReadManifestValues(document);
    if (result.executionLevel != expected.executionLevel || result.dpiAwareness != expected.dpiAwareness ||
        result.longPathAware != expected.longPathAware) {
        problem = "cannot be changed faithfully: the result reads back as " + Described(result) + ", not " + Described(expected);
        return false;
    }
    text = std::move(changed);
    return true;
}

}  // namespace zorv::tool
