// The XML of an application manifest, checked for well-formedness (with
// namespaces) and read into its elements with their places in the text, so
// that an edit can change one element and keep every other byte as it was.
//
// The manifest comes from someone else's executable: the text is capped in
// size and in depth, read in one pass without recursion, and refused when it
// has what no manifest needs and a faithful reading would have to resolve: a
// document type declaration, entities other than the five predefined ones,
// an encoding other than UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zorv::tool {

// Far beyond any manifest (a few kilobytes, five or six levels deep).
constexpr std::size_t kLargestManifest = 256 * 1024;
constexpr std::size_t kDeepestManifest = 64;

struct XmlAttribute {
    std::string name;  // as written, with its prefix
    std::size_t valueBegin = 0, valueEnd = 0;  // the raw value, inside the quotes
    std::string value;  // references replaced, white space normalised
};

struct XmlElement {
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

    std::string name;  // as written, with its prefix
    std::string localName;
    std::string namespaceUri;
    std::size_t parent = kNoParent;
    std::size_t begin = 0;         // the '<' of its start tag
    std::size_t contentBegin = 0;  // just after the start tag
    std::size_t contentEnd = 0;    // the '<' of its end tag (contentBegin for <x/>)
    std::size_t end = 0;           // just after the element
    bool emptyTag = false;         // written as <x/>
    std::vector<XmlAttribute> attributes;
    std::string defaultNamespace;  // of the unprefixed elements inside it
    std::string text;  // its own character data, references and CDATA sections resolved

    const XmlAttribute* Attribute(const std::string& attributeName) const;
};

struct XmlDocument {
    std::vector<XmlElement> elements;  // in document order: the root first
};

// False, with the reason ("not well-formed XML: ... at line 3, column 7"),
// for text that is not a well-formed, namespace-well-formed XML document
// within the caps above. The text is the bytes of the resource: UTF-8,
// perhaps with a byte-order mark.
bool ParseXmlDocument(const std::string& text, XmlDocument& document, std::string& problem);

}  // namespace zorv::tool
