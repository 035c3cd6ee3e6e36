#include "run/searchable_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "os/text_encoding.h"
#include "run/zip_archive.h"

namespace quorvane::run {

namespace {

bool validUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        std::uint32_t least = 0;
        if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            least = 0x10000;
        } else if (c >= 0xE0) {
            length = c <= 0xEF ? 3 : 0;
            least = 0x800;
        } else if (c >= 0xC2) {
            length = 2;
            least = 0x80;
        } else if (c >= 0x80) {
            return false;
        }
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t code = length == 1 ? c : c & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// --- XML ----------------------------------------------------------------------------------------

constexpr std::string_view kWordNamespaces[] = {
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main",
    "http://purl.oclc.org/ooxml/wordprocessingml/main"};
constexpr std::string_view kTextNamespace = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

struct Element {
    std::string_view uri;
    std::string_view local;
    // name → value, as written (references in values are not needed here).
    std::vector<std::pair<std::string_view, std::string_view>> attributes;

    std::string_view attribute(std::string_view name) const {
        for (const auto& [n, v] : attributes) {
            if (n == name)
                return v;
        }
        return {};
    }
};

// What an element adds to the text: the character it stands for, or an attribute that holds text
// the word processor shows.
using ElementText = std::function<void(const Element&, std::string&)>;

bool decodeReference(std::string_view name, std::string& out) {
    if (name == "lt")
        out += '<';
    else if (name == "gt")
        out += '>';
    else if (name == "amp")
        out += '&';
    else if (name == "apos")
        out += '\'';
    else if (name == "quot")
        out += '"';
    else if (name.starts_with('#')) {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        std::uint32_t code = 0;
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8)
            return false;
        for (const char d : digits) {
            const int value = d >= '0' && d <= '9'          ? d - '0'
                              : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                              : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                            : -1;
            if (value < 0)
                return false;
            code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        os::appendUtf8(out, static_cast<char32_t>(code));
    } else {
        return false;
    }
    return true;
}

std::string_view withoutTrailingSpace(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Reads one part: its character data, and what elementText adds for its elements. Only what
// the packages' writers put in a part is read; anything else makes it one not to be sure of.
class XmlTextReader final {
  public:
    XmlTextReader(std::string_view xml, const ElementText& elementText, std::string& out)
        : xml_(xml), elementText_(elementText), out_(out) {}

    // False when the part is not well-formed enough to be sure of.
    bool read() {
        while (at_ < xml_.size()) {
            if (xml_[at_] == '&') {
                if (!reference())
                    return false;
            } else if (xml_[at_] != '<') {
                characters();
            } else if (!markup()) {
                return false;
            }
        }
        return rootSeen_ && open_.empty();
    }

  private:
    static constexpr auto npos = std::string_view::npos;

    bool reference() {
        const auto end = xml_.find(';', at_);
        if (end == npos || !decodeReference(xml_.substr(at_ + 1, end - at_ - 1), out_))
            return false;
        at_ = end + 1;
        return true;
    }

    // Text between tags counts only inside the root.
    void characters() {
        const auto end = std::min(xml_.find_first_of("<&", at_), xml_.size());
        if (!open_.empty())
            out_.append(xml_.substr(at_, end - at_));
        at_ = end;
    }

    bool markup() {
        const std::string_view rest = xml_.substr(at_);
        if (rest.starts_with("<?"))
            return declaration();
        if (rest.starts_with("<!--"))
            return skipPast("-->");
        if (rest.starts_with("<![CDATA["))
            return characterData();
        if (rest.starts_with("<!"))
            return false;
        if (rest.starts_with("</"))
            return endTag();
        return startTag();
    }

    // Another encoding than UTF-8 is one we do not read, nor one cut short.
    bool declaration() {
        const auto end = xml_.find("?>", at_);
        if (end == npos)
            return false;
        const std::string_view declaration = xml_.substr(at_, end - at_);
        if (const auto encoding = declaration.find("encoding="); encoding != npos) {
            std::string name(declaration.substr(std::min(encoding + 10, declaration.size()), 5));
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return static_cast<char>(std::tolower(c)); });
            if (name != "utf-8")
                return false;
        }
        at_ = end + 2;
        return true;
    }

    bool skipPast(std::string_view end) {
        const auto found = xml_.find(end, at_);
        if (found == npos)
            return false;
        at_ = found + end.size();
        return true;
    }

    bool characterData() {
        const auto end = xml_.find("]]>", at_);
        if (end == npos || open_.empty())
            return false;
        out_.append(xml_.substr(at_ + 9, end - at_ - 9));
        at_ = end + 3;
        return true;
    }

    bool endTag() {
        const auto end = xml_.find('>', at_);
        if (end == npos || open_.empty())
            return false;
        if (withoutTrailingSpace(xml_.substr(at_ + 2, end - at_ - 2)) != open_.back())
            return false;
        open_.pop_back();
        at_ = end + 1;
        return true;
    }

    bool startTag() {
        const auto nameEnd = xml_.find_first_of(" \t\r\n/>", at_ + 1);
        if (nameEnd == npos)
            return false;
        const std::string_view name = xml_.substr(at_ + 1, nameEnd - at_ - 1);
        at_ = nameEnd;
        Element element;
        bool selfClosing = false;
        if (!attributes(element, selfClosing))
            return false;
        rootSeen_ = true;
        const auto colon = name.find(':');
        const std::string_view prefix = colon == npos ? std::string_view() : name.substr(0, colon);
        element.local = colon == npos ? name : name.substr(colon + 1);
        if (const auto uri = namespaces_.find(prefix); uri != namespaces_.end())
            element.uri = uri->second;
        elementText_(element, out_);
        if (!selfClosing)
            open_.push_back(name);
        return true;
    }

    // The attributes of a start tag, up to its end, and whether it closes itself.
    bool attributes(Element& element, bool& selfClosing) {
        for (;;) {
            at_ = xml_.find_first_not_of(" \t\r\n", at_);
            if (at_ == npos)
                return false;
            if (xml_[at_] == '>') {
                ++at_;
                return true;
            }
            if (xml_.substr(at_, 2) == "/>") {
                selfClosing = true;
                at_ += 2;
                return true;
            }
            if (!attribute(element))
                return false;
        }
    }

    bool attribute(Element& element) {
        const auto equals = xml_.find('=', at_);
        if (equals == npos || equals + 1 >= xml_.size())
            return false;
        const std::string_view name = withoutTrailingSpace(xml_.substr(at_, equals - at_));
        const auto quoteAt = xml_.find_first_not_of(" \t\r\n", equals + 1);
        if (quoteAt == npos || (xml_[quoteAt] != '"' && xml_[quoteAt] != '\''))
            return false;
        const auto close = xml_.find(xml_[quoteAt], quoteAt + 1);
        if (close == npos)
            return false;
        const std::string_view value = xml_.substr(quoteAt + 1, close - quoteAt - 1);
        if (name == "xmlns" || name.starts_with("xmlns:")) {
            // Namespaces are declared once, on the root, by everything that writes these.
            if (rootSeen_)
                return false;
            namespaces_[name == "xmlns" ? std::string_view() : name.substr(6)] = value;
        }
        element.attributes.emplace_back(name, value);
        at_ = close + 1;
        return true;
    }

    std::string_view xml_;
    const ElementText& elementText_;
    std::string& out_;
    std::map<std::string_view, std::string_view> namespaces_;
    // The names of the elements open at at_, innermost last.
    std::vector<std::string_view> open_;
    bool rootSeen_ = false;
    std::size_t at_ = 0;
};

// The character data of a part, and what elementText adds for its elements. False when the part
// is not well-formed enough to be sure of, declares namespaces below its root or is not UTF-8.
bool xmlText(std::string_view xml, const ElementText& elementText, std::string& out) {
    return validUtf8(xml) && XmlTextReader(xml, elementText, out).read();
}

bool isWord(std::string_view uri) {
    return std::find(std::begin(kWordNamespaces), std::end(kWordNamespaces), uri) !=
           std::end(kWordNamespaces);
}

void wordElementText(const Element& element, std::string& out) {
    if (!isWord(element.uri))
        return;
    const std::string_view name = element.local;
    if (name == "tab" || name == "ptab")
        out += '\t';
    else if (name == "br" || name == "cr")
        out += '\n';
    else if (name == "noBreakHyphen")
        out += "\u2011";
    else if (name == "softHyphen")
        out += "\u00AD";
    // A date, drop-down or combo box control may show text it keeps only here.
    else if (name == "date")
        out.append(element.attribute("w:fullDate"));
    else if (name == "listItem")
        out.append(element.attribute("w:displayText"));
    else if (name == "dropDownList" || name == "comboBox")
        out.append(element.attribute("w:lastValue"));
}

void odfElementText(const Element& element, std::string& out) {
    if (element.uri != kTextNamespace)
        return;
    if (element.local == "tab") {
        out += '\t';
    } else if (element.local == "line-break") {
        out += '\n';
    } else if (element.local == "s") {
        std::size_t count = 1;
        if (const auto c = element.attribute("text:c"); !c.empty()) {
            count = 0;
            for (const char d : c) {
                if (d < '0' || d > '9' || count > 100000)
                    return;
                count = count * 10 + static_cast<std::size_t>(d - '0');
            }
        }
        out.append(count, ' ');
    }
}

std::optional<std::string> wordText(const ZipArchive& package) {
    const auto types = package.read("[Content_Types].xml");
    if (!types)
        return std::nullopt;
    std::vector<std::string> parts;
    const auto collect = [&](const Element& element, std::string&) {
        const std::string_view type = element.attribute("ContentType");
        std::string_view part = element.attribute("PartName");
        if (element.local != "Override" || !part.starts_with('/'))
            return;
        for (const std::string_view kind :
             {"document.main+xml", "template.main+xml", "macroEnabled.main+xml",
              "macroEnabledTemplate.main+xml", "wordprocessingml.header+xml",
              "wordprocessingml.footer+xml", "document.glossary+xml"}) {
            if (type.ends_with(kind))
                parts.emplace_back(part.substr(1));
        }
    };
    std::string ignored;
    if (!xmlText(*types, collect, ignored) || parts.empty())
        return std::nullopt;
    for (const auto& name : package.names()) {
        // Embedded objects and chunks of other formats hold text only the word processor reads.
        if (name.find("/embeddings/") != std::string::npos ||
            name.find("/activeX/") != std::string::npos)
            return std::nullopt;
        if (name.starts_with("word/_rels/")) {
            const auto rels = package.read(name);
            if (!rels || rels->find("/aFChunk\"") != std::string::npos ||
                rels->find("/subDocument\"") != std::string::npos) {
                return std::nullopt;
            }
        }
    }
    std::string text;
    for (const auto& part : parts) {
        const auto xml = package.read(part);
        if (!xml || !xmlText(*xml, wordElementText, text))
            return std::nullopt;
    }
    return text;
}

std::optional<std::string> openDocumentText(const ZipArchive& package) {
    const auto mimetype = package.read("mimetype");
    const auto manifest = package.read("META-INF/manifest.xml");
    if (!mimetype || !mimetype->starts_with("application/vnd.oasis.opendocument.text") ||
        !manifest || manifest->find("encryption-data") != std::string::npos) {
        return std::nullopt;
    }
    for (const auto& name : package.names()) {
        if (name.starts_with("Object ") || name.starts_with("ObjectReplacements/"))
            return std::nullopt;
    }
    std::string text;
    for (const char* part : {"content.xml", "styles.xml"}) {
        const auto xml = package.read(part);
        if (!xml || !xmlText(*xml, odfElementText, text))
            return std::nullopt;
    }
    return text;
}

// --- RTF ----------------------------------------------------------------------------------------

// Control words that stand for a character.
const std::map<std::string_view, std::string_view> kRtfCharacters = {
    {"tab", "\t"},        {"line", "\n"},        {"emdash", "\u2014"},    {"endash", "\u2013"},
    {"lquote", "\u2018"}, {"rquote", "\u2019"},  {"ldblquote", "\u201C"}, {"rdblquote", "\u201D"},
    {"bullet", "\u2022"}, {"emspace", "\u2003"}, {"enspace", "\u2002"},   {"qmspace", "\u2005"}};

// Reads the text of an RTF file: characters as written, \uN escapes, and the control words that
// stand for a character. A byte beyond ASCII written as \'hh, other than as the fallback of a \uN,
// depends on a font's character set: such a file is left to the word processor.
class RtfTextReader final {
  public:
    explicit RtfTextReader(std::string_view rtf) : rtf_(rtf) {}

    // Nothing when the file holds what only the word processor can read.
    std::optional<std::string> read() {
        if (!rtf_.starts_with("{\\rtf"))
            return std::nullopt;
        while (at_ < rtf_.size()) {
            const char c = rtf_[at_];
            if (c == '{') {
                fallbackWidths_.push_back(fallbackWidths_.back());
                ++at_;
            } else if (c == '}') {
                closeGroup();
            } else if (c == '\r' || c == '\n') {
                ++at_;
            } else if (c != '\\') {
                if (!character(c))
                    return std::nullopt;
            } else if (!control()) {
                return std::nullopt;
            }
        }
        return std::move(out_);
    }

  private:
    void closeGroup() {
        if (fallbackWidths_.size() > 1)
            fallbackWidths_.pop_back();
        skip_ = 0;
        ++at_;
    }

    // Whether the next character of the text is one of the fallback that follows a \uN, which
    // is passed over.
    bool skipped() {
        if (skip_ == 0)
            return false;
        --skip_;
        return true;
    }

    bool character(char c) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
        if (!skipped())
            out_ += c;
        ++at_;
        return true;
    }

    // What follows a backslash.
    bool control() {
        if (at_ + 1 >= rtf_.size())
            return false;
        const char symbol = rtf_[at_ + 1];
        if (symbol == '\'')
            return hexByte();
        if (!std::isalpha(static_cast<unsigned char>(symbol))) {
            controlSymbol(symbol);
            return true;
        }
        return controlWord();
    }

    // \'hh: a byte, read only where it is ASCII.
    bool hexByte() {
        if (at_ + 3 >= rtf_.size())
            return false;
        at_ += 4;
        if (skipped())
            return true;
        const int byte = std::isxdigit(static_cast<unsigned char>(rtf_[at_ - 2]))
                             ? std::stoi(std::string(rtf_.substr(at_ - 2, 2)), nullptr, 16)
                             : 0x100;
        if (byte >= 0x80)
            return false;
        out_ += static_cast<char>(byte);
        return true;
    }

    void controlSymbol(char symbol) {
        at_ += 2;
        const std::string_view mapped = symbol == '~'    ? "\u00A0"
                                        : symbol == '-'  ? "\u00AD"
                                        : symbol == '_'  ? "\u2011"
                                        : symbol == '\\' ? "\\"
                                        : symbol == '{'  ? "{"
                                        : symbol == '}'  ? "}"
                                                         : "";
        if (mapped.empty() || !skipped())
            out_.append(mapped);
    }

    bool controlWord() {
        std::size_t end = at_ + 1;
        while (end < rtf_.size() && std::isalpha(static_cast<unsigned char>(rtf_[end])))
            ++end;
        const std::string_view word = rtf_.substr(at_ + 1, end - at_ - 1);
        at_ = end;
        std::optional<long> number;
        if (!parameter(number))
            return false;
        if (word == "bin") {
            // Binary data of a picture or object: not text.
            at_ += static_cast<std::size_t>(std::max(0L, number.value_or(0)));
        } else if (word == "uc" && number) {
            fallbackWidths_.back() = static_cast<int>(*number);
        } else if (word == "u" && number) {
            unicode(*number);
        } else if (const auto mapped = kRtfCharacters.find(word); mapped != kRtfCharacters.end()) {
            out_.append(mapped->second);
        }
        return true;
    }

    // The number after a control word, if it has one, and the space that ends the word. False
    // when the number is larger than any the word processor writes.
    bool parameter(std::optional<long>& number) {
        bool negative = false;
        if (at_ < rtf_.size() && rtf_[at_] == '-') {
            negative = true;
            ++at_;
        }
        bool digits = false;
        long value = 0;
        while (at_ < rtf_.size() && std::isdigit(static_cast<unsigned char>(rtf_[at_]))) {
            digits = true;
            value = value * 10 + (rtf_[at_] - '0');
            if (value > 0xFFFFFFF)
                return false;
            ++at_;
        }
        if (at_ < rtf_.size() && rtf_[at_] == ' ')
            ++at_;
        if (digits)
            number = negative ? -value : value;
        return true;
    }

    // \uN: a UTF-16 code unit as a signed number, followed by the fallback the group's \uc
    // counts; a surrogate pair comes as two.
    void unicode(long number) {
        std::uint32_t code = static_cast<std::uint32_t>(number < 0 ? number + 0x10000 : number);
        skip_ = static_cast<std::size_t>(fallbackWidths_.back());
        if (code >= 0xD800 && code <= 0xDBFF) {
            pendingHigh_ = code;
            return;
        }
        if (code >= 0xDC00 && code <= 0xDFFF && pendingHigh_ != 0) {
            code = 0x10000 + ((pendingHigh_ - 0xD800) << 10) + (code - 0xDC00);
            pendingHigh_ = 0;
        }
        os::appendUtf8(out_, static_cast<char32_t>(code));
    }

    std::string_view rtf_;
    std::size_t at_ = 0;
    std::string out_;
    // The \uc of each open group: how many characters stand in for a \uN there.
    std::vector<int> fallbackWidths_{1};
    // Characters of a fallback still to pass over.
    std::size_t skip_ = 0;
    // The first half of a surrogate pair, waiting for its second.
    std::uint32_t pendingHigh_ = 0;
};

std::optional<std::string> rtfText(std::string_view rtf) {
    return RtfTextReader(rtf).read();
}

// --- plain text ---------------------------------------------------------------------------------

std::optional<std::string> plainText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const bool little = bytes[0] == '\xFF';
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        std::u16string text;
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            const auto low = static_cast<unsigned char>(bytes[i + (little ? 0 : 1)]);
            const auto high = static_cast<unsigned char>(bytes[i + (little ? 1 : 0)]);
            text += static_cast<char16_t>(low | (high << 8));
        }
        return os::toUtf8(text);
    }
    if (validUtf8(bytes))
        return std::string(bytes);
    // The word processor reads what is not UTF-8 as Shift_JIS, else as EUC-JP.
    for (const auto encoding : {os::JapaneseEncoding::ShiftJis, os::JapaneseEncoding::EucJp}) {
        if (const auto text = os::decodeStrictly(bytes, encoding))
            return os::toUtf8(*text);
    }
    return std::nullopt;
}

std::u16string lowered(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return out;
}

}  // namespace

std::optional<std::string> searchableText(std::string_view bytes, std::u16string_view extension) {
    const std::u16string kind = lowered(extension);
    if (kind == u".docx" || kind == u".docm" || kind == u".dotx" || kind == u".dotm") {
        const auto package = ZipArchive::open(bytes);
        return package ? wordText(*package) : std::nullopt;
    }
    if (kind == u".odt" || kind == u".ott") {
        const auto package = ZipArchive::open(bytes);
        return package ? openDocumentText(*package) : std::nullopt;
    }
    if (kind == u".rtf")
        return rtfText(bytes);
    if (kind == u".txt")
        return plainText(bytes);
    return std::nullopt;
}

}  // namespace quorvane::run
