#include "document_text.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <tuple>

#include <pugixml.hpp>

#include "os/text_encoding.h"

namespace quorvane::testing {

namespace fs = std::filesystem;

namespace {

class Package final {
  public:
    explicit Package(const fs::path& path) {
        int error = 0;
        archive_.reset(zip_open(path.c_str(), ZIP_RDONLY, &error));
        if (!archive_)
            throw std::runtime_error("not a package: " + path.string());
    }

    std::optional<std::string> part(const std::string& name) const {
        zip_stat_t stat;
        if (zip_stat(archive_.get(), name.c_str(), 0, &stat) != 0)
            return std::nullopt;
        const std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(
            zip_fopen_index(archive_.get(), stat.index, 0), zip_fclose);
        if (!file)
            return std::nullopt;
        std::string bytes(stat.size, '\0');
        if (zip_fread(file.get(), bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
            return std::nullopt;
        return bytes;
    }

    pugi::xml_document xml(const std::string& name) const {
        pugi::xml_document document;
        const auto bytes = part(name);
        if (!bytes || !document.load_buffer(bytes->data(), bytes->size(),
                                            pugi::parse_default | pugi::parse_ws_pcdata)) {
            throw std::runtime_error("unreadable part: " + name);
        }
        return document;
    }

  private:
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive_{nullptr, zip_discard};
};

std::u16string text16(const char* utf8) {
    return os::fromUtf8(utf8);
}

bool named(const pugi::xml_node& node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

bool oneOf(const pugi::xml_node& node, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), std::string_view(node.name())) != names.end();
}

bool startsWith(const pugi::xml_node& node, std::string_view prefix) {
    return std::string_view(node.name()).starts_with(prefix);
}

// Gathers paragraphs into stories, piece by piece, for either format.
class StoryBuilder final {
  public:
    explicit StoryBuilder(DocumentText& out) : out_(out) {}

    void beginStory(Story* story) { stories_.push_back({story, {}, false}); }
    void endStory() {
        if (current().inParagraph)
            endParagraph();
        stories_.pop_back();
    }

    void beginParagraph() {
        if (current().inParagraph)
            endParagraph();
        current().inParagraph = true;
        current().paragraph.clear();
        open_ = false;
    }
    void endParagraph() {
        auto& state = current();
        if (!state.inParagraph)
            return;
        state.inParagraph = false;
        // An empty paragraph is no text: the office may add one (after a table at a cell's end)
        // or drop one.
        if (!joined(state.paragraph).empty())
            state.story->push_back(std::move(state.paragraph));
        state.paragraph.clear();
        open_ = false;
    }
    // A hard page break: the office makes two paragraphs of one, and nothing matches across it.
    void breakParagraph() { beginParagraph(); }

    void text(std::u16string_view text, bool replaceable = true) {
        if (text.empty())
            return;
        auto& state = current();
        if (!state.inParagraph)
            beginParagraph();
        if (!open_ || state.paragraph.back().replaceable != replaceable)
            state.paragraph.push_back({{}, replaceable});
        state.paragraph.back().text += text;
        open_ = true;
    }
    // An anchor, a control's edge or a field's end: matches do not run across it.
    void boundary() { open_ = false; }

    void untouched(std::u16string text) { out_.untouched.push_back(std::move(text)); }

    // A text of its own (a text box), read while the paragraph it is anchored in goes on; its
    // anchor ends a stretch of that paragraph.
    template <typename Read>
    void nested(std::vector<Story>& stories, Read&& read) {
        Story collected;
        beginStory(&collected);
        read();
        endStory();
        stories.push_back(std::move(collected));
        open_ = false;
    }

  private:
    struct State {
        Story* story;
        Paragraph paragraph;
        bool inParagraph;
    };
    State& current() { return stories_.back(); }

    DocumentText& out_;
    std::vector<State> stories_;
    bool open_ = false;
};

// --- WordprocessingML -------------------------------------------------------------------------

class WordReader final {
  public:
    WordReader(DocumentText& out, StoryBuilder& builder) : out_(out), builder_(builder) {}

    void story(const pugi::xml_node& root, Story& story) {
        builder_.beginStory(&story);
        children(root);
        builder_.endStory();
    }

  private:
    struct Field {
        std::u16string code;
        bool separated = false;
    };

    void children(const pugi::xml_node& node) {
        for (const auto& child : node.children())
            element(child);
    }

    // A field's result is what someone typed when it is a text form field, a fill-in or a link.
    bool resultWritten() const {
        if (fields_.empty())
            return true;
        std::u16string code = fields_.back().code;
        code.erase(0, code.find_first_not_of(u' '));
        return code.starts_with(u"FORMTEXT") || code.starts_with(u"FILLIN") ||
               code.starts_with(u"HYPERLINK");
    }

    // A field's code must come back as it was. A fill-in's prompt may not: a fill-in that holds
    // Japanese is saved as a content control, and the user is told. An index entry's code the
    // office itself rewrites whenever it saves, replacement or not ("XE \"entry\"" becomes
    // "XE \"entry: \"").
    void record(std::u16string code) {
        const auto start = code.find_first_not_of(u' ');
        if (start != std::u16string::npos && code.compare(start, 6, u"FILLIN") == 0)
            return;
        if (const auto colon = code.find(u": \"");
            code.compare(start, 3, u"XE ") == 0 && colon != std::u16string::npos) {
            code.erase(colon, 2);
        }
        builder_.untouched(u"field code: " + code);
    }

    void addText(const std::u16string& text) {
        if (!fields_.empty() && !fields_.back().separated)
            return;
        builder_.text(text, resultWritten());
    }

    void element(const pugi::xml_node& node) {
        if (node.type() != pugi::node_element)
            return;
        if (named(node, "w:p")) {
            builder_.beginParagraph();
            children(node);
            builder_.endParagraph();
        } else if (named(node, "w:t")) {
            addText(text16(node.child_value()));
        } else if (named(node, "w:tab") || named(node, "w:ptab")) {
            addText(u"\t");
        } else if (named(node, "w:br")) {
            const std::string_view type = node.attribute("w:type").as_string();
            if (type == "page" || type == "column")
                builder_.breakParagraph();
            else
                addText(u"\n");
        } else if (named(node, "w:cr")) {
            addText(u"\n");
        } else if (named(node, "w:noBreakHyphen")) {
            addText(u"\u2011");
        } else if (named(node, "w:softHyphen")) {
            addText(u"\u00AD");
        } else if (named(node, "w:fldChar")) {
            const std::string_view type = node.attribute("w:fldCharType").as_string();
            builder_.boundary();
            if (type == "begin") {
                fields_.push_back({});
            } else if (type == "separate" && !fields_.empty()) {
                fields_.back().separated = true;
            } else if (type == "end" && !fields_.empty()) {
                record(fields_.back().code);
                fields_.pop_back();
            }
        } else if (named(node, "w:instrText")) {
            if (!fields_.empty())
                fields_.back().code += text16(node.child_value());
        } else if (named(node, "w:fldSimple")) {
            builder_.boundary();
            fields_.push_back({text16(node.attribute("w:instr").as_string()), true});
            children(node);
            record(fields_.back().code);
            fields_.pop_back();
            builder_.boundary();
        } else if (oneOf(node,
                         {"w:sdt", "w:sym", "w:footnoteReference", "w:endnoteReference",
                          "w:commentReference", "w:commentRangeStart", "w:commentRangeEnd"})) {
            builder_.boundary();
            children(node);
            builder_.boundary();
        } else if (named(node, "w:txbxContent")) {
            builder_.nested(out_.textBoxes, [&] { children(node); });
        } else if (named(node, "mc:AlternateContent")) {
            // What a reader that knows the markup shows; the fallback repeats it for others.
            children(node.child("mc:Choice"));
        } else if (oneOf(node, {"w:del", "w:moveFrom", "w:delText", "w:sdtPr", "w:pPr", "w:rPr",
                                "w:sectPr", "w:tblPr", "w:trPr", "w:tcPr", "w:tblGrid"})) {
            return;
        } else {
            // Runs, links, tables, controls' content, insertions, drawings and the shapes in them.
            children(node);
        }
    }

    DocumentText& out_;
    StoryBuilder& builder_;
    std::vector<Field> fields_;
};

// The targets of a part's relationships, by id and by type, as paths in the package.
struct Relationships {
    std::map<std::string, std::string> byId;
    std::vector<std::pair<std::string, std::string>> byType;

    Relationships(const Package& package, const std::string& rels, const std::string& folder) {
        const auto bytes = package.part(rels);
        pugi::xml_document document;
        if (!bytes || !document.load_buffer(bytes->data(), bytes->size()))
            return;
        for (const auto& rel : document.document_element().children("Relationship")) {
            std::string target = rel.attribute("Target").as_string();
            target = target.starts_with("/") ? target.substr(1) : folder + target;
            byId[rel.attribute("Id").as_string()] = target;
            byType.emplace_back(rel.attribute("Type").as_string(), target);
        }
    }
    // The first target of a type whose name ends with type, or nothing.
    std::string ofType(std::string_view type) const {
        for (const auto& [kind, target] : byType) {
            if (kind.ends_with(type))
                return target;
        }
        return {};
    }
};

// The texts of the notes or comments of a part, one entry each; separators are not notes.
void readNotes(const Package& package, const std::string& part, const char* element,
               const std::u16string& label, DocumentText& out) {
    if (part.empty() || !package.part(part))
        return;
    const auto document = package.xml(part);
    for (const auto& note : document.document_element().children(element)) {
        if (std::string_view(note.attribute("w:type").as_string()).find("eparator") !=
            std::string_view::npos) {
            continue;
        }
        DocumentText scratch;
        StoryBuilder builder(scratch);
        WordReader reader(scratch, builder);
        reader.story(note, scratch.body);
        out.untouched.push_back(label + joined(scratch.body));
    }
}

}  // namespace

std::u16string joined(const Paragraph& paragraph) {
    std::u16string text;
    for (const auto& piece : paragraph)
        text += piece.text;
    return text;
}

std::u16string joined(const Story& story) {
    std::u16string text;
    for (const auto& paragraph : story)
        text += joined(paragraph) + u"\n";
    return text;
}

DocumentText readWordprocessingML(const fs::path& path) {
    const Package package(path);
    DocumentText out;
    const std::string main = Relationships(package, "_rels/.rels", "").ofType("/officeDocument");
    const std::string folder = main.substr(0, main.rfind('/') + 1);
    const Relationships targets(package, folder + "_rels/" + main.substr(folder.size()) + ".rels",
                                folder);
    const auto document = package.xml(main);
    const auto body = document.document_element().child("w:body");

    StoryBuilder builder(out);
    WordReader reader(out, builder);
    reader.story(body, out.body);

    // The headers and footers in effect: first-page ones only where a section asks for them,
    // even-page ones only where the document does. A section without its own takes the one before.
    bool evenAndOdd = false;
    if (const auto settings = targets.ofType("/settings");
        !settings.empty() && package.part(settings)) {
        evenAndOdd = bool(package.xml(settings).document_element().child("w:evenAndOddHeaders"));
    }
    std::map<std::string, std::string> inherited;
    std::set<std::string> parts;
    for (const auto& found : body.select_nodes(".//w:sectPr")) {
        const auto section = found.node();
        for (const auto& reference : section.children()) {
            if (named(reference, "w:headerReference") || named(reference, "w:footerReference")) {
                inherited[std::string(reference.name()) +
                          reference.attribute("w:type").as_string()] =
                    reference.attribute("r:id").as_string();
            }
        }
        const bool titlePage = bool(section.child("w:titlePg"));
        for (const auto& [kind, id] : inherited) {
            if ((kind.ends_with("first") && !titlePage) || (kind.ends_with("even") && !evenAndOdd))
                continue;
            if (const auto target = targets.byId.find(id); target != targets.byId.end())
                parts.insert(target->second);
        }
    }
    for (const auto& part : parts) {
        const auto xml = package.xml(part);
        Story story;
        reader.story(xml.document_element(), story);
        out.headersAndFooters.push_back(std::move(story));
    }
    for (const auto& [type, element, label] : {std::tuple{"/comments", "w:comment", u"comment: "},
                                               {"/footnotes", "w:footnote", u"footnote: "},
                                               {"/endnotes", "w:endnote", u"endnote: "}})
        readNotes(package, targets.ofType(type), element, label, out);
    if (const auto glossary = targets.ofType("/glossaryDocument");
        !glossary.empty() && package.part(glossary)) {
        DocumentText parts;
        StoryBuilder glossaryBuilder(parts);
        WordReader glossaryReader(parts, glossaryBuilder);
        glossaryReader.story(package.xml(glossary).document_element(), parts.body);
        for (const auto& paragraph : parts.body)
            out.untouched.push_back(u"glossary: " + joined(paragraph));
    }
    return out;
}

// --- OpenDocument -----------------------------------------------------------------------------

namespace {

class OpenDocumentReader final {
  public:
    OpenDocumentReader(DocumentText& out, StoryBuilder& builder) : out_(out), builder_(builder) {}

    void story(const pugi::xml_node& root, Story& story) {
        builder_.beginStory(&story);
        children(root);
        builder_.endStory();
    }

  private:
    void children(const pugi::xml_node& node) {
        for (const auto& child : node.children())
            element(child);
    }

    bool written() const { return fieldmarks_.empty() || fieldmarks_.back(); }

    // The text of an element and everything in it, as one string.
    static std::u16string plain(const pugi::xml_node& node) {
        DocumentText scratch;
        StoryBuilder builder(scratch);
        OpenDocumentReader reader(scratch, builder);
        reader.story(node, scratch.body);
        return joined(scratch.body);
    }

    void shapeText(const pugi::xml_node& shape) {
        if (!shape.child("text:p") && !shape.child("text:list"))
            return;
        builder_.nested(out_.textBoxes, [&] { children(shape); });
    }

    void element(const pugi::xml_node& node) {
        if (node.type() == pugi::node_pcdata) {
            builder_.text(text16(node.value()), written());
            return;
        }
        if (node.type() != pugi::node_element)
            return;
        const std::string_view name = node.name();
        if (name == "text:p" || name == "text:h") {
            builder_.beginParagraph();
            children(node);
            builder_.endParagraph();
        } else if (oneOf(node, {"text:span", "text:a", "text:meta", "text:list", "text:list-item",
                                "text:list-header", "text:section", "draw:a", "draw:g",
                                "text:reference-mark-start", "text:reference-mark-end",
                                "text:index-body"}) ||
                   startsWith(node, "table:")) {
            if (!oneOf(node,
                       {"table:covered-table-cell", "table:table-column", "table:table-columns"}))
                children(node);
        } else if (name == "text:s") {
            builder_.text(std::u16string(node.attribute("text:c").as_uint(1), u' '), written());
        } else if (name == "text:tab") {
            builder_.text(u"\t", written());
        } else if (name == "text:line-break") {
            builder_.text(u"\n", written());
        } else if (oneOf(node, {"text:soft-page-break", "text:bookmark", "text:bookmark-start",
                                "text:bookmark-end", "text:sequence-decls", "text:variable-decls",
                                "text:user-field-decls", "office:forms", "text:tracked-changes",
                                "text:change-start", "text:change-end", "text:change",
                                "text:alphabetical-index-mark-start",
                                "text:alphabetical-index-mark-end", "text:toc-mark-start",
                                "text:toc-mark-end", "draw:image", "text:index-title-template"}) ||
                   (startsWith(node, "text:") && name.ends_with("-source"))) {
            return;
        } else if (name == "text:note") {
            builder_.boundary();
            builder_.untouched(u"footnote: " + plain(node.child("text:note-body")));
            builder_.boundary();
        } else if (name == "office:annotation") {
            builder_.boundary();
            std::u16string text;
            for (const auto& paragraph : node.children("text:p"))
                text += plain(paragraph);
            builder_.untouched(u"comment: " + text);
            builder_.boundary();
        } else if (name == "draw:frame") {
            if (const auto box = node.child("draw:text-box"))
                builder_.nested(out_.textBoxes, [&] { children(box); });
        } else if (startsWith(node, "draw:")) {
            shapeText(node);
        } else if (name == "loext:content-control") {
            builder_.boundary();
            children(node);
            builder_.boundary();
        } else if (name == "text:text-input") {
            builder_.boundary();
            builder_.text(plain(node), true);
            builder_.boundary();
        } else if (name == "field:fieldmark-start") {
            builder_.boundary();
            fieldmarks_.push_back(
                std::string_view(node.attribute("field:type").as_string()).ends_with("FORMTEXT"));
        } else if (name == "field:fieldmark-end") {
            builder_.boundary();
            if (!fieldmarks_.empty())
                fieldmarks_.pop_back();
        } else if (oneOf(node,
                         {"text:reference-mark", "text:toc-mark", "text:alphabetical-index-mark",
                          "field:fieldmark", "office:annotation-end"})) {
            builder_.boundary();
        } else if (startsWith(node, "text:")) {
            // A field: what it shows is computed.
            builder_.boundary();
            builder_.text(plain(node), false);
            builder_.boundary();
        }
    }

    DocumentText& out_;
    StoryBuilder& builder_;
    // The fieldmarks open around the text: whether each is a text form field.
    std::vector<bool> fieldmarks_;
};

}  // namespace

DocumentText readOpenDocument(const fs::path& path) {
    const Package package(path);
    DocumentText out;
    StoryBuilder builder(out);
    OpenDocumentReader reader(out, builder);
    const auto content = package.xml("content.xml");
    reader.story(content.document_element().child("office:body").child("office:text"), out.body);
    const auto styles = package.xml("styles.xml");
    for (const auto& page :
         styles.document_element().child("office:master-styles").children("style:master-page")) {
        for (const auto& part : page.children()) {
            const std::string_view name = part.name();
            if (!name.starts_with("style:header") && !name.starts_with("style:footer"))
                continue;
            if (std::string_view(part.attribute("style:display").as_string()) == "false")
                continue;
            Story story;
            reader.story(part, story);
            out.headersAndFooters.push_back(std::move(story));
        }
    }
    return out;
}

}  // namespace quorvane::testing
