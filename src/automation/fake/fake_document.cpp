#include "automation/fake/fake_document.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <fstream>
#include <sstream>

#include "automation/automation_error.h"
#include "os/file_system.h"
#include "os/text_encoding.h"

namespace quorvane::automation::fake {

using os::fromUtf8;
using os::toUtf8;

namespace {

constexpr std::string_view kMagic = "quorvane-fake-document";

void appendLines(std::string& out, const char* key, const std::vector<std::u16string>& texts) {
    for (const auto& text : texts)
        out += std::string(key) + "\t" + toUtf8(text) + "\n";
}

}  // namespace

std::string FakeDocument::serialize() const {
    std::string out(kMagic);
    out += '\n';
    // One line per paragraph of the body.
    for (std::size_t start = 0, end = 0; end != std::u16string::npos; start = end + 1) {
        end = body.find(u'\n', start);
        out += "body\t" + toUtf8(std::u16string_view(body).substr(start, end - start)) + "\n";
    }
    // Each group or canvas is followed by the shapes in it.
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const Shape& shape = shapes[i];
        if (shape.container >= 0)
            continue;
        if (shape.kind != ShapeKind::Drawing) {
            out += shape.kind == ShapeKind::Group ? "group\n" : "canvas\n";
            for (const auto& item : shapes) {
                if (item.container == static_cast<int>(i) && item.text)
                    out += "item\t" + toUtf8(*item.text) + "\n";
            }
        } else if (!shape.text) {
            out += "shape-without-text\n";
        } else {
            out += (shape.inHeader ? "header-shape\t" : "shape\t") + toUtf8(*shape.text) + "\n";
        }
    }
    for (const auto& section : sections) {
        out += "section\n";
        appendLines(out, "header", section.headers);
        appendLines(out, "footer", section.footers);
    }
    if (readOnlyRecommended)
        out += "read-only-recommended\n";
    if (updatesOnOpen)
        out += "updates-on-open\n";
    if (!password.empty())
        out += "password\t" + toUtf8(password) + "\n";
    return out;
}

std::optional<FakeDocument> FakeDocument::parse(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return std::nullopt;
    FakeDocument doc;
    bool sawBody = false;
    int container = -1;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        const std::string key = line.substr(0, tab);
        const std::u16string value =
            tab == std::string::npos ? u"" : fromUtf8(line.substr(tab + 1));
        if (key == "body") {
            doc.body += (sawBody ? u"\n" : u"") + value;
            sawBody = true;
        } else if (key == "shape" || key == "shape-without-text") {
            doc.shapes.push_back({key == "shape" ? std::optional(value) : std::nullopt});
        } else if (key == "group" || key == "canvas") {
            container = static_cast<int>(doc.shapes.size());
            doc.shapes.push_back(
                {std::nullopt, key == "group" ? ShapeKind::Group : ShapeKind::Canvas});
        } else if (key == "item" && container >= 0) {
            doc.shapes.push_back({value, ShapeKind::Drawing, container});
        } else if (key == "header-shape") {
            doc.shapes.push_back({value, ShapeKind::Drawing, -1, true});
        } else if (key == "section") {
            doc.sections.emplace_back();
        } else if ((key == "header" || key == "footer") && !doc.sections.empty()) {
            (key == "header" ? doc.sections.back().headers : doc.sections.back().footers)
                .push_back(value);
        } else if (key == "read-only-recommended") {
            doc.readOnlyRecommended = true;
        } else if (key == "updates-on-open") {
            doc.updatesOnOpen = true;
        } else if (key == "password") {
            doc.password = value;
        } else if (!line.empty()) {
            return std::nullopt;
        }
    }
    return doc;
}

std::optional<FakeDocument> FakeDocument::load(std::u16string_view path) {
    std::ifstream in(os::toNativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return parse(content.str());
}

void FakeDocument::save(std::u16string_view path) const {
    std::ofstream out(os::toNativePath(path), std::ios::binary | std::ios::trunc);
    out << serialize();
    if (!out.flush())
        throw AutomationError(u"保存できません");
}

namespace text_file {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

bool wellFormedUtf8BeyondAscii(std::string_view bytes) {
    bool beyondAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 0x2)
                return false;
        }
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii;
}

std::u16string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return text;
}

std::string toUtf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// Shift_JIS through the system's own converter, as Word's is.
#ifdef _WIN32
std::u16string fromCodePage(std::string_view bytes) {
    const int size = MultiByteToWideChar(kSystemCodePage, 0, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(kSystemCodePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                        wide.data(), size);
    return {wide.begin(), wide.end()};
}
std::string toCodePage(std::u16string_view text) {
    const std::wstring wide(text.begin(), text.end());
    const int size =
        WideCharToMultiByte(kSystemCodePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                            0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kSystemCodePage, 0, wide.data(), static_cast<int>(wide.size()),
                        bytes.data(), size, nullptr, nullptr);
    return bytes;
}
#else
std::string convert(std::string_view bytes, const char* to, const char* from) {
    const iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw AutomationError(u"文字コードを変換できません");
    std::string in(bytes);
    std::string out(bytes.size() * 4 + 4, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t left = in.size();
    std::size_t room = out.size();
    while (left > 0 && iconv(converter, &source, &left, &target, &room) == std::size_t(-1)) {
        // A character the other side cannot hold becomes a question mark, as with the system's
        // converter on Windows.
        std::size_t length = 1;
        while (length < left && (static_cast<unsigned char>(source[length]) & 0xC0) == 0x80)
            ++length;
        source += length;
        left -= length;
        *target++ = '?';
        --room;
    }
    iconv_close(converter);
    out.resize(out.size() - room);
    return out;
}
std::u16string fromCodePage(std::string_view bytes) {
    return os::fromUtf8(convert(bytes, "UTF-8", "CP932"));
}
std::string toCodePage(std::u16string_view text) {
    return convert(os::toUtf8(text), "CP932", "UTF-8");
}
#endif

std::u16string paragraphs(std::u16string text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        out += text[i] == u'\r' ? u'\n' : text[i];
    }
    return out;
}

}  // namespace

Decoded decode(std::string_view bytes, std::optional<std::int32_t> encoding) {
    const auto marked = [&](std::string_view mark) { return bytes.starts_with(mark); };
    Decoded decoded;
    if (!encoding) {
        if (marked(kUtf8Mark) || (!marked(kUtf16Mark) && !marked(kUtf16BigEndianMark) &&
                                  wellFormedUtf8BeyondAscii(bytes))) {
            encoding = kUtf8;
        } else if (marked(kUtf16Mark) || marked(kUtf16BigEndianMark)) {
            encoding = marked(kUtf16Mark) ? kUtf16 : kUtf16BigEndian;
        } else {
            encoding = kSystemCodePage;
        }
    }
    decoded.encoding = *encoding;
    const std::string_view mark = *encoding == kUtf8    ? kUtf8Mark
                                  : *encoding == kUtf16 ? kUtf16Mark
                                                        : kUtf16BigEndianMark;
    if (*encoding != kSystemCodePage && marked(mark)) {
        decoded.byteOrderMark = true;
        bytes.remove_prefix(mark.size());
    }
    switch (*encoding) {
        case kUtf8:
            decoded.text = paragraphs(os::fromUtf8(bytes));
            break;
        case kUtf16:
        case kUtf16BigEndian:
            decoded.text = paragraphs(fromUtf16(bytes, *encoding == kUtf16BigEndian));
            break;
        case kSystemCodePage:
            decoded.text = paragraphs(fromCodePage(bytes));
            break;
        default:
            throw AutomationError(u"この文字コードの文書は開けません");
    }
    return decoded;
}

std::string encode(std::u16string_view text, std::int32_t encoding, bool byteOrderMark,
                   std::int32_t lineEnding) {
    std::u16string lines;
    for (const char16_t c : text)
        lines += c == u'\n' ? (lineEnding == 1 ? u"\r" : u"\r\n") : std::u16string(1, c);
    switch (encoding) {
        case kUtf8:
            return std::string(byteOrderMark ? kUtf8Mark : "") + os::toUtf8(lines);
        // Word's Unicode text files always start with their byte order mark.
        case kUtf16:
            return std::string(kUtf16Mark) + toUtf16(lines, false);
        case kUtf16BigEndian:
            return std::string(kUtf16BigEndianMark) + toUtf16(lines, true);
        case kSystemCodePage:
            return toCodePage(lines);
        default:
            throw AutomationError(u"この文字コードでは保存できません");
    }
}

}  // namespace text_file
}  // namespace quorvane::automation::fake
