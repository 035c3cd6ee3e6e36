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

// The character data of a part, and what elementText adds for its elements. False when the part
// is not well-formed enough to be sure of, declares namespaces below its root or is not UTF-8.
bool xmlText(std::string_view xml, const ElementText& elementText, std::string& out) {
    if (!validUtf8(xml))
        return false;
    std::map<std::string_view, std::string_view> namespaces;
    std::vector<std::string_view> open;
    bool rootSeen = false;
    std::size_t i = 0;
    const auto until = [&](std::string_view end) {
        const auto at = xml.find(end, i);
        if (at == std::string_view::npos)
            return false;
        i = at + end.size();
        return true;
    };
    while (i < xml.size()) {
        if (xml[i] == '&') {
            const auto end = xml.find(';', i);
            if (end == std::string_view::npos ||
                !decodeReference(xml.substr(i + 1, end - i - 1), out))
                return false;
            i = end + 1;
            continue;
        }
        if (xml[i] != '<') {
            const auto end = std::min(xml.find_first_of("<&", i), xml.size());
            if (!open.empty())
                out.append(xml.substr(i, end - i));
            i = end;
            continue;
        }
        const std::string_view rest = xml.substr(i);
        if (rest.starts_with("<?")) {
            const auto end = xml.find("?>", i);
            if (end == std::string_view::npos)
                return false;
            const std::string_view declaration = xml.substr(i, end - i);
            // Another encoding than UTF-8 is one we do not read.
            if (const auto encoding = declaration.find("encoding=");
                encoding != std::string_view::npos) {
                std::string name(declaration.substr(encoding + 10, 5));
                std::transform(name.begin(), name.end(), name.begin(),
                               [](char c) { return static_cast<char>(std::tolower(c)); });
                if (name != "utf-8")
                    return false;
            }
            i = end + 2;
        } else if (rest.starts_with("<!--")) {
            if (!until("-->"))
                return false;
        } else if (rest.starts_with("<![CDATA[")) {
            const auto end = xml.find("]]>", i);
            if (end == std::string_view::npos || open.empty())
                return false;
            out.append(xml.substr(i + 9, end - i - 9));
            i = end + 3;
        } else if (rest.starts_with("<!")) {
            return false;
        } else if (rest.starts_with("</")) {
            const auto end = xml.find('>', i);
            if (end == std::string_view::npos || open.empty())
                return false;
            std::string_view name = xml.substr(i + 2, end - i - 2);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t' ||
                                     name.back() == '\n' || name.back() == '\r')) {
                name.remove_suffix(1);
            }
            if (name != open.back())
                return false;
            open.pop_back();
            i = end + 1;
        } else {
            // A start tag: its name, attributes, and whether it closes itself.
            std::size_t k = i + 1;
            const auto nameEnd = xml.find_first_of(" \t\r\n/>", k);
            if (nameEnd == std::string_view::npos)
                return false;
            const std::string_view name = xml.substr(k, nameEnd - k);
            k = nameEnd;
            Element element;
            bool selfClosing = false;
            for (;;) {
                k = xml.find_first_not_of(" \t\r\n", k);
                if (k == std::string_view::npos)
                    return false;
                if (xml[k] == '>') {
                    ++k;
                    break;
                }
                if (xml.substr(k, 2) == "/>") {
                    selfClosing = true;
                    k += 2;
                    break;
                }
                const auto equals = xml.find('=', k);
                if (equals == std::string_view::npos || equals + 1 >= xml.size())
                    return false;
                std::string_view attribute = xml.substr(k, equals - k);
                while (!attribute.empty() &&
                       (attribute.back() == ' ' || attribute.back() == '\t' ||
                        attribute.back() == '\n' || attribute.back() == '\r')) {
                    attribute.remove_suffix(1);
                }
                const auto quoteAt = xml.find_first_not_of(" \t\r\n", equals + 1);
                if (quoteAt == std::string_view::npos ||
                    (xml[quoteAt] != '"' && xml[quoteAt] != '\''))
                    return false;
                const auto close = xml.find(xml[quoteAt], quoteAt + 1);
                if (close == std::string_view::npos)
                    return false;
                const std::string_view value = xml.substr(quoteAt + 1, close - quoteAt - 1);
                if (attribute == "xmlns" || attribute.starts_with("xmlns:")) {
                    // Namespaces are declared once, on the root, by everything that writes these.
                    if (rootSeen)
                        return false;
                    namespaces[attribute == "xmlns" ? std::string_view() : attribute.substr(6)] =
                        value;
                }
                element.attributes.emplace_back(attribute, value);
                k = close + 1;
            }
            rootSeen = true;
            const auto colon = name.find(':');
            const std::string_view prefix =
                colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
            element.local = colon == std::string_view::npos ? name : name.substr(colon + 1);
            if (const auto uri = namespaces.find(prefix); uri != namespaces.end())
                element.uri = uri->second;
            elementText(element, out);
            if (!selfClosing)
                open.push_back(name);
            i = k;
        }
    }
    return rootSeen && open.empty();
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

// The text of an RTF file: characters as written, \uN escapes, and the control words that stand for
// a character. A byte beyond ASCII written as \'hh, other than as the fallback of a \uN, depends on
// a font's character set: such a file is left to the word processor.
std::optional<std::string> rtfText(std::string_view rtf) {
    if (!rtf.starts_with("{\\rtf"))
        return std::nullopt;
    std::string out;
    std::vector<int> fallbackWidths{1};
    std::size_t skip = 0;
    std::uint32_t pendingHigh = 0;
    for (std::size_t i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            fallbackWidths.push_back(fallbackWidths.back());
            ++i;
            continue;
        }
        if (c == '}') {
            if (fallbackWidths.size() > 1)
                fallbackWidths.pop_back();
            skip = 0;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
            if (skip > 0)
                --skip;
            else
                out += c;
            ++i;
            continue;
        }
        if (i + 1 >= rtf.size())
            return std::nullopt;
        const char symbol = rtf[i + 1];
        if (symbol == '\'') {
            if (i + 3 >= rtf.size())
                return std::nullopt;
            i += 4;
            if (skip > 0) {
                --skip;
                continue;
            }
            const int high = std::isxdigit(static_cast<unsigned char>(rtf[i - 2]))
                                 ? std::stoi(std::string(rtf.substr(i - 2, 2)), nullptr, 16)
                                 : 0x100;
            if (high >= 0x80)
                return std::nullopt;
            out += static_cast<char>(high);
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(symbol))) {
            // A control symbol.
            i += 2;
            const std::string_view mapped = symbol == '~'    ? "\u00A0"
                                            : symbol == '-'  ? "\u00AD"
                                            : symbol == '_'  ? "\u2011"
                                            : symbol == '\\' ? "\\"
                                            : symbol == '{'  ? "{"
                                            : symbol == '}'  ? "}"
                                                             : "";
            if (skip > 0 && !mapped.empty())
                --skip;
            else
                out.append(mapped);
            continue;
        }
        // A control word and its number.
        std::size_t k = i + 1;
        while (k < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[k])))
            ++k;
        const std::string_view word = rtf.substr(i + 1, k - i - 1);
        bool hasNumber = false;
        long number = 0;
        bool negative = false;
        if (k < rtf.size() && rtf[k] == '-') {
            negative = true;
            ++k;
        }
        while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) {
            hasNumber = true;
            number = number * 10 + (rtf[k] - '0');
            if (number > 0xFFFFFFF)
                return std::nullopt;
            ++k;
        }
        if (negative)
            number = -number;
        if (k < rtf.size() && rtf[k] == ' ')
            ++k;
        i = k;
        if (word == "bin") {
            // Binary data of a picture or object: not text.
            i += static_cast<std::size_t>(std::max(0L, number));
            continue;
        }
        if (word == "uc" && hasNumber) {
            fallbackWidths.back() = static_cast<int>(number);
            continue;
        }
        if (word == "u" && hasNumber) {
            std::uint32_t code = static_cast<std::uint32_t>(number < 0 ? number + 0x10000 : number);
            skip = static_cast<std::size_t>(fallbackWidths.back());
            if (code >= 0xD800 && code <= 0xDBFF) {
                pendingHigh = code;
                continue;
            }
            if (code >= 0xDC00 && code <= 0xDFFF && pendingHigh != 0) {
                code = 0x10000 + ((pendingHigh - 0xD800) << 10) + (code - 0xDC00);
                pendingHigh = 0;
            }
            os::appendUtf8(out, static_cast<char32_t>(code));
            continue;
        }
        if (const auto mapped = kRtfCharacters.find(word); mapped != kRtfCharacters.end())
            out.append(mapped->second);
    }
    return out;
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
