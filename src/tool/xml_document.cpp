#include "tool/xml_document.h"

#include <cstdint>
#include <cstring>

#include "launcher/utf8.h"

namespace zorv::tool {
namespace {

const char kXmlNamespace[] = "http://www.w3.org/XML/1998/namespace";
const char kXmlnsNamespace[] = "http://www.w3.org/2000/xmlns/";
constexpr std::size_t kNone = std::string::npos;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes past ASCII count as name characters: the text has been checked as
// UTF-8 already, and no manifest has a name outside ASCII to tell apart.
bool IsNameStart(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u == ':' || u >= 0x80;
}

bool IsNameCharacter(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool IsXmlCharacter(std::uint32_t value) {
    return value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value < 0xD800) ||
           (value >= 0xE000 && value < 0xFFFE) || (value >= 0x10000 && value <= 0x10FFFF);
}

// The offset of the first byte that does not belong to an XML character in
// well-formed UTF-8, or kNone.
std::size_t FirstNonCharacter(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size();) {
        char32_t point = 0;
        const std::size_t length = DecodeUtf8Point(text, i, point);
        if (length == 0 || !IsXmlCharacter(point)) return i;
        i += length;
    }
    return kNone;
}

// A name from the text for a message: a hostile one may be any length.
std::string Shown(const std::string& name) { return name.size() <= 60 ? name : name.substr(0, 60) + "..."; }

bool EqualsIgnoringCase(const std::string& text, const char* ascii) {
    const std::size_t length = std::strlen(ascii);
    if (text.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ascii[i]) return false;
    }
    return true;
}

class Parser {
public:
    Parser(const std::string& text, XmlDocument& document, std::string& problem)
        : text_(text), document_(document), problem_(problem) {}

    bool Document();

private:
    struct Binding {
        std::string prefix, uri;
    };

    bool FailAt(std::size_t at, const std::string& what);
    bool Fail(const std::string& what) { return FailAt(pos_, what); }
    bool At(const char* literal) const { return text_.compare(pos_, std::strlen(literal), literal) == 0; }
    bool SkipSpace();
    bool Name(std::string& name);
    bool Declaration();
    bool PseudoAttribute(const char* name, std::string& value, bool& present);
    bool Misc();
    bool Comment();
    bool ProcessingInstruction();
    bool Elements();
    bool StartTag();
    bool AttributeValue(XmlAttribute& attribute);
    bool Bind(const XmlAttribute& attribute, std::size_t at);
    bool Resolve(const std::string& name, std::size_t at, bool isElement, std::string& uri, std::string& localName);
    bool EndTag();
    bool CharacterData(std::size_t to);
    bool Reference(std::size_t& at, std::size_t limit, std::string& out);

    const std::string& text_;
    XmlDocument& document_;
    std::string& problem_;
    std::size_t pos_ = 0;
    std::vector<std::size_t> open_;  // the open elements, outermost first
    std::vector<Binding> bindings_;
    std::vector<std::size_t> bindingMarks_;  // bindings_'s size before each open element
};

bool Parser::FailAt(std::size_t at, const std::string& what) {
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < at && i < text_.size(); ++i) {
        if (text_[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    problem_ = "is not well-formed XML: " + what + " (line " + std::to_string(line) + ", column " +
               std::to_string(at - lineStart + 1) + ")";
    return false;
}

bool Parser::SkipSpace() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    return pos_ != start;
}

bool Parser::Name(std::string& name) {
    if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) return false;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsNameCharacter(text_[pos_])) ++pos_;
    name = text_.substr(start, pos_ - start);
    return true;
}

bool Parser::Document() {
    if (text_.size() > kLargestManifest) {
        problem_ = "is larger than 256 KiB, more than any manifest holds";
        return false;
    }
    if (text_.compare(0, 2, "\xFF\xFE") == 0 || text_.compare(0, 2, "\xFE\xFF") == 0) {
        problem_ = "is UTF-16: zorvtool reads UTF-8 manifests only";
        return false;
    }
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    const std::size_t bad = FirstNonCharacter(text_, pos_);
    if (bad != kNone) return FailAt(bad, "a byte that is no character in UTF-8, or a control character");
    if (At("<?xml") && pos_ + 5 < text_.size() && (IsSpace(text_[pos_ + 5]) || text_[pos_ + 5] == '?')) {
        if (!Declaration()) return false;
    }
    if (!Misc()) return false;
    if (At("<!DOCTYPE")) return Fail("a document type declaration, which no manifest has");
    if (pos_ >= text_.size() || text_[pos_] != '<') return Fail("text where the root element should start");
    if (!Elements() || !Misc()) return false;
    if (pos_ != text_.size()) return Fail("something after the root element");
    return true;
}

bool Parser::PseudoAttribute(const char* name, std::string& value, bool& present) {
    const std::size_t save = pos_;
    present = SkipSpace() && At(name);
    if (!present) {
        pos_ = save;
        return true;
    }
    pos_ += std::strlen(name);
    SkipSpace();
    if (!At("=")) return Fail(std::string("\"") + name + "\" without a value in the XML declaration");
    ++pos_;
    SkipSpace();
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
        return Fail("a value without quotes in the XML declaration");
    }
    const std::size_t end = text_.find(text_[pos_], pos_ + 1);
    if (end == kNone) return Fail("a quote that never closes in the XML declaration");
    value = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end + 1;
    return true;
}

bool Parser::Declaration() {
    pos_ += 5;
    std::string version, encoding, standalone;
    bool hasVersion = false, hasEncoding = false, hasStandalone = false;
    if (!PseudoAttribute("version", version, hasVersion)) return false;
    if (!hasVersion) return Fail("an XML declaration without a version");
    const bool versionIsOne = version.size() > 2 && version.compare(0, 2, "1.") == 0 &&
                              version.find_first_not_of("0123456789", 2) == kNone;
    if (!versionIsOne) return Fail("the XML version \"" + Shown(version) + "\"");
    if (!PseudoAttribute("encoding", encoding, hasEncoding) || !PseudoAttribute("standalone", standalone, hasStandalone)) {
        return false;
    }
    if (hasEncoding && !EqualsIgnoringCase(encoding, "utf-8")) {
        problem_ = "declares the encoding \"" + Shown(encoding) + "\": zorvtool reads UTF-8 manifests only";
        return false;
    }
    if (hasStandalone && standalone != "yes" && standalone != "no") return Fail("standalone is neither \"yes\" nor \"no\"");
    SkipSpace();
    if (!At("?>")) return Fail("an XML declaration with more than a version, an encoding and standalone in it");
    pos_ += 2;
    return true;
}

bool Parser::Misc() {
    for (;;) {
        SkipSpace();
        if (At("<!--")) {
            if (!Comment()) return false;
        } else if (At("<?")) {
            if (!ProcessingInstruction()) return false;
        } else {
            return true;
        }
    }
}

bool Parser::Comment() {
    const std::size_t dashes = text_.find("--", pos_ + 4);
    if (dashes == kNone) return Fail("a comment that never ends");
    if (dashes + 2 >= text_.size() || text_[dashes + 2] != '>') return FailAt(dashes, "\"--\" inside a comment");
    pos_ = dashes + 3;
    return true;
}

bool Parser::ProcessingInstruction() {
    const std::size_t begin = pos_;
    pos_ += 2;
    std::string target;
    if (!Name(target)) return FailAt(begin, "a processing instruction without a target");
    if (EqualsIgnoringCase(target, "xml")) return FailAt(begin, "an XML declaration that is not at the very start");
    if (!At("?>") && !SkipSpace()) return Fail("a processing instruction whose target runs into its text");
    const std::size_t end = text_.find("?>", pos_);
    if (end == kNone) return Fail("a processing instruction that never ends");
    pos_ = end + 2;
    return true;
}

// Iterative, so that the depth of the text never becomes the depth of the
// stack; the cap keeps the bookkeeping small.
bool Parser::Elements() {
    if (!StartTag()) return false;
    while (!open_.empty()) {
        const std::size_t next = text_.find('<', pos_);
        if (next == kNone) {
            return FailAt(text_.size(), "the end of the text inside <" + Shown(document_.elements[open_.back()].name) + ">");
        }
        if (!CharacterData(next)) return false;
        bool done = true;
        if (At("</")) {
            done = EndTag();
        } else if (At("<!--")) {
            done = Comment();
        } else if (At("<![CDATA[")) {
            const std::size_t end = text_.find("]]>", pos_ + 9);
            if (end == kNone) return Fail("a CDATA section that never ends");
            document_.elements[open_.back()].text.append(text_, pos_ + 9, end - pos_ - 9);
            pos_ = end + 3;
        } else if (At("<?")) {
            done = ProcessingInstruction();
        } else if (At("<!")) {
            return Fail("a declaration inside an element");
        } else {
            done = StartTag();
        }
        if (!done) return false;
    }
    return true;
}

bool Parser::CharacterData(std::size_t to) {
    std::string& text = document_.elements[open_.back()].text;
    while (pos_ < to) {
        if (text_[pos_] == '&') {
            if (!Reference(pos_, to, text)) return false;
        } else if (text_.compare(pos_, 3, "]]>") == 0) {
            return Fail("\"]]>\" outside a CDATA section");
        } else {
            text.push_back(text_[pos_++]);
        }
    }
    return true;
}

bool Parser::Reference(std::size_t& at, std::size_t limit, std::string& out) {
    const std::size_t semicolon = text_.find(';', at);
    if (semicolon == kNone || semicolon >= limit) return FailAt(at, "an '&' that starts no reference (write &amp;)");
    const std::string name = text_.substr(at + 1, semicolon - at - 1);
    if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && name[1] == 'x';
        const std::string digits = name.substr(hex ? 2 : 1);
        std::uint32_t value = 0;
        for (char c : digits) {
            const bool decimal = c >= '0' && c <= '9';
            const bool letter = hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
            if (!decimal && !letter) return FailAt(at, "the character reference &" + Shown(name) + ";");
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(decimal ? c - '0' : (c | 0x20) - 'a' + 10);
            if (value > 0x10FFFF) return FailAt(at, "a character reference beyond Unicode");
        }
        if (digits.empty() || !IsXmlCharacter(value)) return FailAt(at, "the character reference &" + Shown(name) + ";");
        AppendUtf8(out, value);
    } else {
        static const std::pair<const char*, char> kPredefined[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
        bool known = false;
        for (const auto& entity : kPredefined) {
            if (name == entity.first) {
                out.push_back(entity.second);
                known = true;
            }
        }
        if (!known) {
            return FailAt(at, "the entity &" + Shown(name) + "; (a manifest has &lt; &gt; &amp; &apos; and &quot; only)");
        }
    }
    at = semicolon + 1;
    return true;
}

bool Parser::StartTag() {
    const std::size_t begin = pos_++;
    XmlElement element;
    if (!Name(element.name)) return FailAt(begin, "a '<' that starts no tag (write &lt;)");
    if (open_.size() == kDeepestManifest) return FailAt(begin, "elements nested more than 64 deep");
    element.begin = begin;
    element.parent = open_.empty() ? XmlElement::kNoParent : open_.back();
    bindingMarks_.push_back(bindings_.size());
    std::vector<std::size_t> attributeStarts;
    for (;;) {
        const bool spaced = SkipSpace();
        if (At("/>") || At(">")) break;
        if (pos_ >= text_.size()) return Fail("a start tag that never ends");
        XmlAttribute attribute;
        const std::size_t attributeStart = pos_;
        if (!spaced || !Name(attribute.name)) return Fail("something other than an attribute in a start tag");
        SkipSpace();
        if (!At("=")) return Fail("the attribute " + Shown(attribute.name) + " without a value");
        ++pos_;
        SkipSpace();
        if (!AttributeValue(attribute)) return false;
        for (const XmlAttribute& earlier : element.attributes) {
            if (earlier.name == attribute.name) return FailAt(attributeStart, "the attribute " + Shown(attribute.name) + " twice");
        }
        if (!Bind(attribute, attributeStart)) return false;
        element.attributes.push_back(std::move(attribute));
        attributeStarts.push_back(attributeStart);
    }
    element.emptyTag = At("/>");
    pos_ += element.emptyTag ? 2 : 1;
    if (!Resolve(element.name, begin, true, element.namespaceUri, element.localName)) return false;
    std::string unused;
    Resolve("x", begin, true, element.defaultNamespace, unused);
    // Two prefixes bound to one namespace make two spellings of one attribute.
    std::vector<std::pair<std::string, std::string>> qualified;
    for (std::size_t i = 0; i < element.attributes.size(); ++i) {
        const std::string& name = element.attributes[i].name;
        if (name == "xmlns" || name.compare(0, 6, "xmlns:") == 0) continue;
        std::pair<std::string, std::string> expanded;
        if (!Resolve(name, attributeStarts[i], false, expanded.first, expanded.second)) return false;
        if (expanded.first.empty()) continue;
        for (const auto& earlier : qualified) {
            if (earlier == expanded) return FailAt(attributeStarts[i], "the attribute " + Shown(name) + " twice");
        }
        qualified.push_back(expanded);
    }
    element.contentBegin = element.contentEnd = element.end = pos_;
    document_.elements.push_back(std::move(element));
    if (document_.elements.back().emptyTag) {
        bindings_.resize(bindingMarks_.back());
        bindingMarks_.pop_back();
    } else {
        open_.push_back(document_.elements.size() - 1);
    }
    return true;
}

bool Parser::AttributeValue(XmlAttribute& attribute) {
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) return Fail("an attribute value without quotes");
    const std::size_t end = text_.find(text_[pos_], pos_ + 1);
    if (end == kNone) return Fail("an attribute value whose quote never closes");
    attribute.valueBegin = pos_ + 1;
    attribute.valueEnd = end;
    for (std::size_t i = attribute.valueBegin; i < end;) {
        if (text_[i] == '<') return FailAt(i, "a '<' inside an attribute value");
        if (text_[i] == '&') {
            if (!Reference(i, end, attribute.value)) return false;
            continue;
        }
        attribute.value.push_back(IsSpace(text_[i]) ? ' ' : text_[i]);
        ++i;
    }
    pos_ = end + 1;
    return true;
}

bool Parser::Bind(const XmlAttribute& attribute, std::size_t at) {
    const bool reserved = attribute.value == kXmlNamespace || attribute.value == kXmlnsNamespace;
    if (attribute.name == "xmlns") {
        if (reserved) return FailAt(at, "a reserved namespace as the default one");
        bindings_.push_back({"", attribute.value});
        return true;
    }
    if (attribute.name.compare(0, 6, "xmlns:") != 0) return true;
    const std::string prefix = attribute.name.substr(6);
    if (prefix.empty() || prefix.find(':') != kNone || prefix == "xmlns") {
        return FailAt(at, "the namespace declaration " + Shown(attribute.name));
    }
    if ((prefix == "xml") != (attribute.value == kXmlNamespace) || (prefix != "xml" && reserved)) {
        return FailAt(at, "the prefix " + Shown(prefix) + " bound to the wrong namespace");
    }
    if (attribute.value.empty()) return FailAt(at, "the prefix " + Shown(prefix) + " bound to no namespace");
    bindings_.push_back({prefix, attribute.value});
    return true;
}

// A name as prefix and local part, the prefix bound; an unprefixed attribute
// is in no namespace, an unprefixed element in the default one.
bool Parser::Resolve(const std::string& name, std::size_t at, bool isElement, std::string& uri, std::string& localName) {
    const std::size_t colon = name.find(':');
    if (colon != kNone && (colon == 0 || colon + 1 == name.size() || name.find(':', colon + 1) != kNone)) {
        return FailAt(at, "the name " + Shown(name) + ", which has a colon out of place");
    }
    const std::string prefix = colon == kNone ? "" : name.substr(0, colon);
    localName = colon == kNone ? name : name.substr(colon + 1);
    uri.clear();
    if (prefix.empty() && !isElement) return true;
    if (prefix == "xml") {
        uri = kXmlNamespace;
        return true;
    }
    for (auto binding = bindings_.rbegin(); binding != bindings_.rend(); ++binding) {
        if (binding->prefix == prefix) {
            uri = binding->uri;
            return true;
        }
    }
    if (prefix.empty()) return true;
    return FailAt(at, "the prefix " + Shown(prefix) + ", which no namespace declaration binds");
}

bool Parser::EndTag() {
    const std::size_t begin = pos_;
    pos_ += 2;
    std::string name;
    if (!Name(name)) return Fail("an end tag without a name");
    SkipSpace();
    if (!At(">")) return Fail("an end tag with more than a name in it");
    ++pos_;
    XmlElement& element = document_.elements[open_.back()];
    if (name != element.name) {
        return FailAt(begin, "the end tag </" + Shown(name) + "> where </" + Shown(element.name) + "> is due");
    }
    element.contentEnd = begin;
    element.end = pos_;
    open_.pop_back();
    bindings_.resize(bindingMarks_.back());
    bindingMarks_.pop_back();
    return true;
}

}  // namespace

const XmlAttribute* XmlElement::Attribute(const std::string& attributeName) const {
    for (const XmlAttribute& attribute : attributes) {
        if (attribute.name == attributeName) return &attribute;
    }
    return nullptr;
}

bool ParseXmlDocument(const std::string& text, XmlDocument& document, std::string& problem) {
    document.elements.clear();
    Parser parser(text, document, problem);
    if (parser.Document()) return true;
    document.elements.clear();
    return false;
}

}  // namespace zorv::tool
