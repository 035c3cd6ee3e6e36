#include "platform/automation/office/office_application.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <com/sun/star/beans/UnknownPropertyException.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>

#include "platform/automation/execute_arguments.h"
#include "platform/automation/member_name.h"
#include "platform/automation/office/office_document.h"
#include "platform/automation/office/region_replacer.h"

namespace quorvane::platform::automation::office {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using TextRef = Reference<css::text::XText>;
using DocumentRef = std::shared_ptr<OfficeDocument>;

namespace {

// Members an object does not have fail the way late binding does.
class Member : public Object {
  public:
    explicit Member(std::u16string label) : label_(std::move(label)) {}

    Variant get(std::u16string_view member) override { unknown(member); }
    void put(std::u16string_view member, const Variant&) override { unknown(member); }
    Variant call(std::u16string_view member, const std::vector<Variant>&,
                 const std::vector<NamedArgument>&) override {
        unknown(member);
    }
    std::vector<Variant> enumerate() override { unknown(u"_NewEnum"); }

  protected:
    [[noreturn]] void unknown(std::u16string_view member) const {
        throw AutomationError(label_ + u" にメンバー " + std::u16string(member) + u" はありません");
    }

  private:
    std::u16string label_;
};

template <typename T, typename... Args>
Variant object(Args&&... args) {
    return Variant(std::shared_ptr<Object>(std::make_shared<T>(std::forward<Args>(args)...)));
}

class Collection final : public Member {
  public:
    Collection(std::u16string label, std::function<std::vector<Variant>()> items)
        : Member(std::move(label)), items_(std::move(items)) {}
    std::vector<Variant> enumerate() override { return items_(); }

  private:
    std::function<std::vector<Variant>()> items_;
};

const Variant* namedArgument(const std::vector<NamedArgument>& named, std::u16string_view name) {
    for (const auto& a : named) {
        if (sameName(a.name, name))
            return &a.value;
    }
    return nullptr;
}

class Find final : public Member {
  public:
    Find(DocumentRef document, TextRef text)
        : Member(u"Find"), document_(std::move(document)), text_(std::move(text)) {}

    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        if (!sameName(member, u"Execute"))
            unknown(member);
        const ExecuteArguments args = bindExecuteArguments(positional, named);
        const RegionReplacer replacer(document_->model(), args.findText, args.replaceWith,
                                      args.matchCase);
        return document_->call([&] { return replacer.replaceIn(text_) > 0; });
    }

  private:
    DocumentRef document_;
    TextRef text_;
};

// A region of text: Range, TextRange and Content all lead to its Find.
class Range final : public Member {
  public:
    Range(DocumentRef document, TextRef text)
        : Member(u"Range"), document_(std::move(document)), text_(std::move(text)) {}
    Variant get(std::u16string_view member) override {
        if (sameName(member, u"Find"))
            return object<Find>(document_, text_);
        unknown(member);
    }

  private:
    DocumentRef document_;
    TextRef text_;
};

class RangeOwner final : public Member {
  public:
    // An object whose only member leads to the text's range: TextFrame.TextRange,
    // HeaderFooter.Range.
    RangeOwner(std::u16string label, std::u16string_view memberName, DocumentRef document,
               TextRef text)
        : Member(std::move(label)),
          member_(memberName),
          document_(std::move(document)),
          text_(std::move(text)) {}
    Variant get(std::u16string_view member) override {
        if (sameName(member, member_))
            return object<Range>(document_, text_);
        unknown(member);
    }

  private:
    std::u16string member_;
    DocumentRef document_;
    TextRef text_;
};

class Shape final : public Member {
  public:
    Shape(DocumentRef document, TextRef text)
        : Member(u"Shape"), document_(std::move(document)), text_(std::move(text)) {}
    Variant get(std::u16string_view member) override {
        if (!sameName(member, u"TextFrame"))
            unknown(member);
        if (!text_.is())
            throw AutomationError(u"この図形には文字列がありません");
        return object<RangeOwner>(u"TextFrame", u"TextRange", document_, text_);
    }

  private:
    DocumentRef document_;
    TextRef text_;
};

bool supports(const Reference<css::uno::XInterface>& object, const char* service) {
    const Reference<css::lang::XServiceInfo> info(object, UNO_QUERY);
    return info.is() && info->supportsService(OUString::createFromAscii(service));
}

bool hasProperty(const Reference<css::beans::XPropertySet>& properties, const char* name) {
    return properties.is() &&
           properties->getPropertySetInfo()->hasPropertyByName(OUString::createFromAscii(name));
}

// The text a shape shows: a text box keeps it in the frame attached to it.
TextRef textOfShape(const Reference<css::uno::XInterface>& shape) {
    const Reference<css::beans::XPropertySet> properties(shape, UNO_QUERY);
    if (hasProperty(properties, "TextBox") && hasProperty(properties, "TextBoxContent")) {
        bool textBox = false;
        properties->getPropertyValue("TextBox") >>= textBox;
        if (textBox) {
            const Reference<css::text::XTextFrame> frame(
                properties->getPropertyValue("TextBoxContent"), UNO_QUERY);
            if (frame.is())
                return frame->getText();
        }
    }
    if (supports(shape, "com.sun.star.drawing.GraphicObjectShape") ||
        supports(shape, "com.sun.star.text.TextGraphicObject")) {
        return {};
    }
    return TextRef(shape, UNO_QUERY);
}

void collectShapes(const Reference<css::container::XIndexAccess>& shapes,
                   std::vector<TextRef>& texts, std::vector<TextRef>& seen) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        const Reference<css::uno::XInterface> shape(shapes->getByIndex(i), UNO_QUERY);
        if (supports(shape, "com.sun.star.drawing.GroupShape")) {
            collectShapes(Reference<css::container::XIndexAccess>(shape, UNO_QUERY_THROW), texts,
                          seen);
            continue;
        }
        const TextRef text = textOfShape(shape);
        if (text.is()) {
            if (std::find(seen.begin(), seen.end(), text) != seen.end())
                continue;
            seen.push_back(text);
        }
        texts.push_back(text);
    }
}

// Writer has one draw page, still reached through the interface its IDL calls deprecated.
Reference<css::container::XIndexAccess> drawPageOf(const Reference<css::frame::XModel>& model) {
    const Reference<css::drawing::XDrawPageSupplier> supplier(model, UNO_QUERY_THROW);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return Reference<css::container::XIndexAccess>(supplier->getDrawPage(), UNO_QUERY_THROW);
#pragma GCC diagnostic pop
}

std::vector<Variant> shapesOf(const DocumentRef& document) {
    const auto texts = document->call([&] {
        std::vector<TextRef> found;
        std::vector<TextRef> seen;
        collectShapes(drawPageOf(document->model()), found, seen);
        return found;
    });
    std::vector<Variant> shapes;
    for (const auto& text : texts)
        shapes.push_back(object<Shape>(document, text));
    return shapes;
}

struct PageStyleTexts {
    std::vector<TextRef> headers;
    std::vector<TextRef> footers;
};

// Each office call costs a round trip to the office, and a document has a score of page styles:
// everything needed of a style is read with one call. The names are sorted, as
// getPropertyValues wants them; Text, TextFirst and TextLeft follow their IsOn.
constexpr const char* kFollowStyle = "FollowStyle";
constexpr const char* kFooterNames[] = {"FooterIsOn", "FooterText", "FooterTextFirst",
                                        "FooterTextLeft"};
constexpr const char* kHeaderNames[] = {"HeaderIsOn", "HeaderText", "HeaderTextFirst",
                                        "HeaderTextLeft"};

struct PageStyle {
    OUString follow;
    PageStyleTexts texts;
};

// Default (right), first and left texts of a header or footer that is switched on, each once.
std::vector<TextRef> distinctTexts(const Sequence<Any>& values, sal_Int32 isOn, sal_Int32 count) {
    std::vector<TextRef> texts;
    bool on = false;
    values[isOn] >>= on;
    if (!on)
        return texts;
    for (sal_Int32 i = isOn + 1; i < isOn + count; ++i) {
        const TextRef text(values[i], UNO_QUERY);
        if (text.is() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
            texts.push_back(text);
        }
    }
    return texts;
}

std::map<OUString, PageStyle> readPageStyles(const Reference<css::container::XNameAccess>& styles,
                                             const Sequence<OUString>& names) {
    std::map<OUString, PageStyle> read;
    if (!names.hasElements())
        return read;
    // Offices before first-page headers have no TextFirst; each style has the same properties.
    const Reference<css::beans::XPropertySet> first(styles->getByName(names[0]), UNO_QUERY_THROW);
    const sal_Int32 perKind = hasProperty(first, "HeaderTextFirst") ? 4 : 3;
    std::vector<OUString> wanted{OUString::createFromAscii(kFollowStyle)};
    for (const auto* kind : {kFooterNames, kHeaderNames}) {
        for (sal_Int32 i = 0; i < 4; ++i) {
            if (perKind == 4 || i != 2)
                wanted.push_back(OUString::createFromAscii(kind[i]));
        }
    }
    const Sequence<OUString> request(wanted.data(), static_cast<sal_Int32>(wanted.size()));
    for (const auto& name : names) {
        const Reference<css::beans::XMultiPropertySet> style(styles->getByName(name),
                                                             UNO_QUERY_THROW);
        const Sequence<Any> values = style->getPropertyValues(request);
        PageStyle& page = read[name];
        values[0] >>= page.follow;
        page.texts.footers = distinctTexts(values, 1, perKind);
        page.texts.headers = distinctTexts(values, 1 + perKind, perKind);
    }
    return read;
}

// Page styles the body uses, in order of use and with the styles they lead on to, then the rest.
std::vector<OUString> pageStylesInOrder(const Reference<css::frame::XModel>& model,
                                        const Sequence<OUString>& names,
                                        const std::map<OUString, PageStyle>& styles) {
    std::vector<OUString> order;
    const auto add = [&](OUString name) {
        while (!name.isEmpty() && styles.contains(name) &&
               std::find(order.begin(), order.end(), name) == order.end()) {
            order.push_back(name);
            name = styles.at(name).follow;
        }
    };
    const Reference<css::text::XTextDocument> document(model, UNO_QUERY_THROW);
    const Reference<css::container::XEnumerationAccess> body(document->getText(), UNO_QUERY_THROW);
    const auto paragraphs = body->createEnumeration();
    OUString previous;
    while (paragraphs->hasMoreElements()) {
        const Reference<css::beans::XPropertySet> paragraph(paragraphs->nextElement(), UNO_QUERY);
        if (!paragraph.is())
            continue;
        OUString name;
        try {
            paragraph->getPropertyValue("PageStyleName") >>= name;
        } catch (const css::beans::UnknownPropertyException&) {
            // A table: it lies on the pages of the paragraphs around it.
            continue;
        }
        if (name != previous)
            add(name);
        previous = name;
    }
    for (const auto& name : names)
        add(name);
    return order;
}

std::vector<PageStyleTexts> sectionTexts(const Reference<css::frame::XModel>& model) {
    const Reference<css::style::XStyleFamiliesSupplier> supplier(model, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> styles(
        supplier->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
    const auto names = styles->getElementNames();
    auto read = readPageStyles(styles, names);
    std::vector<PageStyleTexts> sections;
    for (const auto& name : pageStylesInOrder(model, names, read)) {
        PageStyleTexts& texts = read.at(name).texts;
        if (!texts.headers.empty() || !texts.footers.empty())
            sections.push_back(std::move(texts));
    }
    return sections;
}

std::vector<Variant> membersOf(const DocumentRef& document, const std::vector<TextRef>& texts) {
    std::vector<Variant> members;
    for (const auto& text : texts) {
        members.push_back(object<RangeOwner>(u"HeaderFooter", u"Range", document, text));
    }
    return members;
}

class Section final : public Member {
  public:
    Section(DocumentRef document, PageStyleTexts texts)
        : Member(u"Section"), document_(std::move(document)), texts_(std::move(texts)) {}
    Variant get(std::u16string_view member) override {
        if (sameName(member, u"Headers")) {
            return object<Collection>(
                u"Headers", [d = document_, t = texts_.headers] { return membersOf(d, t); });
        }
        if (sameName(member, u"Footers")) {
            return object<Collection>(
                u"Footers", [d = document_, t = texts_.footers] { return membersOf(d, t); });
        }
        unknown(member);
    }

  private:
    DocumentRef document_;
    PageStyleTexts texts_;
};

class Document final : public Member {
  public:
    explicit Document(DocumentRef document) : Member(u"Document"), document_(std::move(document)) {}

    Variant get(std::u16string_view member) override {
        if (sameName(member, u"Shapes")) {
            return object<Collection>(u"Shapes", [d = document_] { return shapesOf(d); });
        }
        if (sameName(member, u"Sections")) {
            return object<Collection>(u"Sections", [d = document_] {
                std::vector<Variant> sections;
                for (auto& texts : d->call([&] { return sectionTexts(d->model()); })) {
                    sections.push_back(object<Section>(d, std::move(texts)));
                }
                return sections;
            });
        }
        if (sameName(member, u"Content")) {
            const TextRef body = document_->call([&] {
                return Reference<css::text::XTextDocument>(document_->model(), UNO_QUERY_THROW)
                    ->getText();
            });
            return object<Range>(document_, body);
        }
        unknown(member);
    }

    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        if (!sameName(member, u"Close"))
            unknown(member);
        if (!positional.empty() || !named.empty()) {
            throw AutomationError(u"Close に引数は指定できません");
        }
        // A save the user should know about comes back as text for the run report.
        std::u16string notice = document_->close();
        if (notice.empty())
            return {};
        return Variant(std::move(notice));
    }

  private:
    DocumentRef document_;
};

class Documents final : public Member {
  public:
    explicit Documents(std::shared_ptr<OfficeSession> session)
        : Member(u"Documents"), session_(std::move(session)) {}

    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        if (!sameName(member, u"Open"))
            unknown(member);
        const Variant* path =
            positional.empty() ? namedArgument(named, u"FileName") : &positional[0];
        if (!path || positional.size() > 1)
            throw AutomationError(u"Open にはファイル名を一つ指定してください");
        return object<Document>(OfficeDocument::open(session_, path->toString()));
    }

  private:
    std::shared_ptr<OfficeSession> session_;
};

}  // namespace

OfficeApplication::OfficeApplication(OfficeFactory::Options options)
    : session_(std::make_shared<OfficeSession>(std::move(options))) {}

OfficeApplication::~OfficeApplication() {
    session_->quit();
}

Variant OfficeApplication::get(std::u16string_view member) {
    if (sameName(member, u"Documents"))
        return object<Documents>(session_);
    if (sameName(member, u"Application"))
        return Variant(std::shared_ptr<Object>(shared_from_this()));
    throw AutomationError(u"Application にメンバー " + std::u16string(member) + u" はありません");
}

void OfficeApplication::put(std::u16string_view member, const Variant& value) {
    // The office never shows a window: Visible is taken and has no effect.
    if (sameName(member, u"Visible")) {
        value.toBool();
        return;
    }
    throw AutomationError(u"Application のメンバー " + std::u16string(member) +
                          u" には設定できません");
}

Variant OfficeApplication::call(std::u16string_view member, const std::vector<Variant>&,
                                const std::vector<NamedArgument>&) {
    if (sameName(member, u"Quit")) {
        session_->quit();
        return {};
    }
    throw AutomationError(u"Application にメンバー " + std::u16string(member) + u" はありません");
}

std::vector<Variant> OfficeApplication::enumerate() {
    throw AutomationError(u"Application は列挙できません");
}

}  // namespace quorvane::platform::automation::office
