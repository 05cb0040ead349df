#include "XmlText.h"

#include <cstdint>

namespace {

// Far deeper than a description or a SOAP answer; it bounds the reader's recursion.
constexpr int kMaxDepth = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// "#65", "#x41", "amp" ... (without "&" and ";") into `out`; false for anything else.
bool AppendEntity(std::string& out, std::string_view name) {
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& named : kNamed) {
        if (name == named.name) {
            out += named.value;
            return true;
        }
    }
    if (name.size() < 2 || name[0] != '#') return false;
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t code = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    AppendUtf8(out, code);
    return true;
}

class Reader {
public:
    explicit Reader(std::string_view document) : rest_(document) {}

    std::optional<XmlElement> Document() {
        if (!SkipMisc(true)) return std::nullopt;
        if (!Starts("<")) return std::nullopt;
        XmlElement root;
        if (!Element(root, 0)) return std::nullopt;
        if (!SkipMisc(false) || !rest_.empty()) return std::nullopt;
        return root;
    }

private:
    bool Starts(std::string_view prefix) const { return rest_.substr(0, prefix.size()) == prefix; }

    // Moves past `end`; false when the document ends first.
    bool SkipPast(std::string_view end) {
        const size_t at = rest_.find(end);
        if (at == std::string_view::npos) return false;
        rest_.remove_prefix(at + end.size());
        return true;
    }

    // Blanks, comments and processing instructions around the root; the document type only
    // before it.
    bool SkipMisc(bool beforeRoot) {
        for (;;) {
            while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
            if (Starts("<?")) {
                if (!SkipPast("?>")) return false;
            } else if (Starts("<!--")) {
                if (!SkipPast("-->")) return false;
            } else if (beforeRoot && Starts("<!DOCTYPE")) {
                if (!SkipDoctype()) return false;
            } else {
                return true;
            }
        }
    }

    // A document type may hold an internal subset in brackets.
    bool SkipDoctype() {
        int brackets = 0;
        while (!rest_.empty()) {
            const char c = rest_.front();
            rest_.remove_prefix(1);
            if (c == '[') ++brackets;
            if (c == ']') --brackets;
            if (c == '>' && brackets <= 0) return true;
        }
        return false;
    }

    std::string_view Name() {
        size_t length = 0;
        while (length < rest_.size() && !IsBlank(rest_[length]) && rest_[length] != '>' &&
               rest_[length] != '/' && rest_[length] != '=' && rest_[length] != '<') {
            ++length;
        }
        const std::string_view name = rest_.substr(0, length);
        rest_.remove_prefix(length);
        return name;
    }

    // A name, and the part after its prefix, begins with a letter, "_" or a non-ASCII byte:
    // "<s:>", "<:?x>" and "<1>" are no elements.
    static bool StartsName(std::string_view name) {
        if (name.empty()) return false;
        const unsigned char c = static_cast<unsigned char>(name.front());
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    }

    static std::string_view LocalName(std::string_view name) {
        const size_t colon = name.rfind(':');
        return colon == std::string_view::npos ? name : name.substr(colon + 1);
    }

    // Attributes are read past: their values are quoted and may hold ">" and "/".
    bool SkipAttributes(bool& empty) {
        for (;;) {
            while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
            if (Starts("/>")) {
                rest_.remove_prefix(2);
                empty = true;
                return true;
            }
            if (Starts(">")) {
                rest_.remove_prefix(1);
                empty = false;
                return true;
            }
            if (Name().empty()) return false;
            while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
            if (!Starts("=")) return false;
            rest_.remove_prefix(1);
            while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
            if (rest_.empty() || (rest_.front() != '"' && rest_.front() != '\'')) return false;
            const char quote[] = {rest_.front(), '\0'};
            rest_.remove_prefix(1);
            if (!SkipPast(quote)) return false;
        }
    }

    bool Text(std::string& text) {
        while (!rest_.empty() && rest_.front() != '<') {
            const char c = rest_.front();
            rest_.remove_prefix(1);
            if (c != '&') {
                text += c;
                continue;
            }
            const size_t end = rest_.find(';');
            if (end == std::string_view::npos || end > 10 || !AppendEntity(text, rest_.substr(0, end))) {
                return false;
            }
            rest_.remove_prefix(end + 1);
        }
        return true;
    }

    // At "<" of a start tag: the element, its content and its end tag.
    bool Element(XmlElement& element, int depth) {
        if (depth >= kMaxDepth) return false;
        rest_.remove_prefix(1);
        const std::string_view qualified = Name();
        if (qualified.empty()) return false;
        element.name = std::string(LocalName(qualified));
        if (!StartsName(qualified) || !StartsName(element.name)) return false;
        bool empty = false;
        if (!SkipAttributes(empty)) return false;
        if (empty) return true;
        std::string text;
        for (;;) {
            if (!Text(text)) return false;
            if (rest_.empty()) return false;
            if (Starts("</")) {
                rest_.remove_prefix(2);
                if (Name() != qualified) return false;
                while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
                if (!Starts(">")) return false;
                rest_.remove_prefix(1);
                element.text = std::string(Trimmed(text));
                return true;
            }
            if (Starts("<!--")) {
                if (!SkipPast("-->")) return false;
            } else if (Starts("<?")) {
                if (!SkipPast("?>")) return false;
            } else if (Starts("<![CDATA[")) {
                rest_.remove_prefix(9);
                const size_t end = rest_.find("]]>");
                if (end == std::string_view::npos) return false;
                text.append(rest_.substr(0, end));
                rest_.remove_prefix(end + 3);
            } else {
                element.children.emplace_back();
                if (!Element(element.children.back(), depth + 1)) return false;
            }
        }
    }

    std::string_view rest_;
};

}  // namespace

const XmlElement* XmlElement::Child(std::string_view childName) const {
    for (const XmlElement& child : children) {
        if (child.name == childName) return &child;
    }
    return nullptr;
}

const XmlElement* XmlElement::Find(std::string_view elementName) const {
    if (name == elementName) return this;
    for (const XmlElement& child : children) {
        if (const XmlElement* found = child.Find(elementName)) return found;
    }
    return nullptr;
}

std::string XmlElement::ChildText(std::string_view childName) const {
    const XmlElement* child = Child(childName);
    return child ? child->text : std::string();
}

std::optional<XmlElement> ParseXml(std::string_view document) {
    // A byte order mark before the declaration is allowed.
    if (document.substr(0, 3) == "\xEF\xBB\xBF") document.remove_prefix(3);
    return Reader(document).Document();
}

std::string LooseXmlText(std::string_view raw) {
    std::string text;
    while (!raw.empty()) {
        const char c = raw.front();
        raw.remove_prefix(1);
        // An entity's name is short: a lone "&" does not send the search to the text's end.
        const size_t end = c == '&' ? raw.substr(0, 11).find(';') : std::string_view::npos;
        if (end != std::string_view::npos && AppendEntity(text, raw.substr(0, end))) {
            raw.remove_prefix(end + 1);
        } else {
            text += c;
        }
    }
    return std::string(Trimmed(text));
}
