#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The little of XML that a UPnP gateway's answers need: elements by their local name (a
// namespace prefix is dropped, as every gateway picks its own), their text with the entities
// and character references decoded, attributes read past. Comments, processing instructions,
// a document type and CDATA sections are taken as XML has them.
struct XmlElement {
    std::string name;  // the local name: "s:Envelope" gives "Envelope"
    std::string text;  // the element's own text and CDATA, blanks at both ends removed
    std::vector<XmlElement> children;

    // The first child of that name; null when there is none.
    const XmlElement* Child(std::string_view childName) const;
    // The first element of that name in document order, this one included; null when none.
    const XmlElement* Find(std::string_view elementName) const;
    // The text of the first child of that name; empty when there is none.
    std::string ChildText(std::string_view childName) const;
};

// The root element of a well-formed document; nothing for anything else, a document nested
// deeper than a gateway's answer ever is included.
std::optional<XmlElement> ParseXml(std::string_view document);

// Text as a broken document holds it: the entities and character references that read as
// such decoded, any other "&" kept as it stands ("&nbsp;", a bare "&"), blanks at both ends
// removed.
std::string LooseXmlText(std::string_view raw);
