#include "automation/office/office_application.h"

#include <functional>
#include <string>
#include <vector>

#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>

#include "automation/member_name.h"
#include "automation/office/document_structure.h"
#include "automation/office/office_document.h"
#include "automation/office/office_messages.h"
#include "automation/word_model.h"
#include "os/file_system.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;
using TextRef = Reference<css::text::XText>;
using DocumentRef = std::shared_ptr<OfficeDocument>;

namespace {

// An object with no members of its own: a member a subclass does not answer fails the way late
// binding does.
class MemberlessObject : public Object {
  public:
    explicit MemberlessObject(std::u16string label) : label_(std::move(label)) {}

    Variant get(std::u16string_view member) override { unknown(member); }
    void put(std::u16string_view member, const Variant&) override { unknown(member); }
    Variant call(std::u16string_view member, const std::vector<Variant>&,
                 const std::vector<NamedArgument>&) override {
        unknown(member);
    }
    std::vector<Variant> enumerate() override { unknown(u"_NewEnum"); }

  protected:
    [[noreturn]] void unknown(std::u16string_view member) const {
        throw AutomationError(messages::noMember(label_, member));
    }

  private:
    std::u16string label_;
};

template <typename T, typename... Args>
Variant object(Args&&... args) {
    return Variant(std::shared_ptr<Object>(std::make_shared<T>(std::forward<Args>(args)...)));
}

class Collection final : public MemberlessObject {
  public:
    Collection(std::u16string label, std::function<std::vector<Variant>()> items)
        : MemberlessObject(std::move(label)), items_(std::move(items)) {}
    std::vector<Variant> enumerate() override { return items_(); }

  private:
    std::function<std::vector<Variant>()> items_;
};

// The arguments of Find.Execute as Word binds them: the find text positionally or as FindText,
// ReplaceWith, Replace (only wdReplaceAll is supported) and an optional MatchCase, false when not
// given.
struct ExecuteArguments {
    std::u16string findText;
    std::u16string replaceWith;
    bool matchCase = false;
};

// Throws AutomationError for an argument that is missing, unknown or of the wrong type.
ExecuteArguments bindExecuteArguments(const std::vector<Variant>& positional,
                                      const std::vector<NamedArgument>& named) {
    namespace member = word::member;
    for (const auto& a : named) {
        if (!sameName(a.name, member::kFindText) && !sameName(a.name, member::kReplaceWith) &&
            !sameName(a.name, member::kReplace) && !sameName(a.name, member::kMatchCase)) {
            throw AutomationError(messages::namedArgumentUnsupported(a.name));
        }
    }
    if (positional.size() > 1)
        throw AutomationError(std::u16string(messages::kTooManyArguments));
    const Variant* findText =
        positional.empty() ? namedArgument(named, member::kFindText) : &positional[0];
    const Variant* replaceWith = namedArgument(named, member::kReplaceWith);
    const Variant* replace = namedArgument(named, member::kReplace);
    const Variant* matchCase = namedArgument(named, member::kMatchCase);
    if (!findText || !replaceWith || !replace || replace->toInt32() != word::kReplaceAll) {
        throw AutomationError(std::u16string(messages::kReplaceArgumentsNeeded));
    }
    return {findText->toString(), replaceWith->toString(), matchCase && matchCase->toBool()};
}

class Find final : public MemberlessObject {
  public:
    Find(DocumentRef document, TextRef text)
        : MemberlessObject(u"Find"), document_(std::move(document)), text_(std::move(text)) {}

    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        if (!sameName(member, word::member::kExecute))
            unknown(member);
        const ExecuteArguments args = bindExecuteArguments(positional, named);
        // Word answers only whether it found anything; the count tells the run report more.
        const std::int32_t replaced =
            document_->replaceIn(text_, args.findText, args.replaceWith, args.matchCase);
        if (replaced > 0)
            document_->noteChanged();
        return replaced;
    }

  private:
    DocumentRef document_;
    TextRef text_;
};

// A region of text: Range, TextRange and Content all lead to its Find.
class Range final : public MemberlessObject {
  public:
    Range(DocumentRef document, TextRef text)
        : MemberlessObject(u"Range"), document_(std::move(document)), text_(std::move(text)) {}
    Variant get(std::u16string_view member) override {
        if (sameName(member, word::member::kFind))
            return object<Find>(document_, text_);
        unknown(member);
    }

  private:
    DocumentRef document_;
    TextRef text_;
};

class RangeOwner final : public MemberlessObject {
  public:
    // An object whose member leads to the text's range, TextFrame.TextRange or
    // HeaderFooter.Range, and whose other members answer as given.
    RangeOwner(std::u16string label, std::u16string_view memberName, DocumentRef document,
               TextRef text, std::vector<std::pair<std::u16string_view, Variant>> answers)
        : MemberlessObject(std::move(label)),
          member_(memberName),
          document_(std::move(document)),
          text_(std::move(text)),
          answers_(std::move(answers)) {}
    Variant get(std::u16string_view member) override {
        if (sameName(member, member_))
            return object<Range>(document_, text_);
        for (const auto& [name, answer] : answers_) {
            if (sameName(member, name))
                return answer;
        }
        unknown(member);
    }

  private:
    std::u16string member_;
    DocumentRef document_;
    TextRef text_;
    std::vector<std::pair<std::u16string_view, Variant>> answers_;
};

class Shape final : public MemberlessObject {
  public:
    Shape(DocumentRef document, TextRef text)
        : MemberlessObject(u"Shape"), document_(std::move(document)), text_(std::move(text)) {}
    // Groups are opened already: every shape is a text box or a picture.
    Variant get(std::u16string_view member) override {
        if (sameName(member, word::member::kType))
            return Variant(text_.is() ? kTextBox : kPicture);
        if (!sameName(member, word::member::kTextFrame))
            unknown(member);
        if (!text_.is())
            throw AutomationError(std::u16string(messages::kShapeWithoutText));
        return object<RangeOwner>(
            u"TextFrame", word::member::kTextRange, document_, text_,
            std::vector<std::pair<std::u16string_view, Variant>>{{word::member::kHasText, true}});
    }

  private:
    static constexpr std::int32_t kTextBox = 17;  // msoTextBox
    static constexpr std::int32_t kPicture = 13;  // msoPicture

    DocumentRef document_;
    TextRef text_;
};

std::vector<Variant> shapesOf(const DocumentRef& document) {
    const auto& texts = document->shapeTexts();
    std::vector<Variant> shapes;
    for (const auto& text : texts)
        shapes.push_back(object<Shape>(document, text));
    return shapes;
}

// Each page style's header and footer texts are its own, none linked to another's; the shapes
// in them are among the document's Shapes already.
std::vector<Variant> membersOf(const DocumentRef& document, const std::vector<TextRef>& texts) {
    std::vector<Variant> members;
    for (const auto& text : texts) {
        members.push_back(object<RangeOwner>(
            u"HeaderFooter", word::member::kRange, document, text,
            std::vector<std::pair<std::u16string_view, Variant>>{
                {word::member::kLinkToPrevious, false},
                {word::member::kExists, true},
                {word::member::kShapes,
                 object<Collection>(u"Shapes", [] { return std::vector<Variant>{}; })}}));
    }
    return members;
}

class Section final : public MemberlessObject {
  public:
    Section(DocumentRef document, SectionTexts texts)
        : MemberlessObject(u"Section"), document_(std::move(document)), texts_(std::move(texts)) {}
    Variant get(std::u16string_view member) override {
        if (sameName(member, word::member::kHeaders)) {
            return object<Collection>(
                u"Headers", [d = document_, t = texts_.headers] { return membersOf(d, t); });
        }
        if (sameName(member, word::member::kFooters)) {
            return object<Collection>(
                u"Footers", [d = document_, t = texts_.footers] { return membersOf(d, t); });
        }
        unknown(member);
    }

  private:
    DocumentRef document_;
    SectionTexts texts_;
};

class Document final : public MemberlessObject {
  public:
    explicit Document(DocumentRef document)
        : MemberlessObject(u"Document"), document_(std::move(document)) {}

    Variant get(std::u16string_view member) override {
        if (sameName(member, word::member::kShapes)) {
            return object<Collection>(u"Shapes", [d = document_] { return shapesOf(d); });
        }
        if (sameName(member, word::member::kSections)) {
            return object<Collection>(u"Sections", [d = document_] {
                std::vector<Variant> sections;
                for (const auto& texts : d->sectionTexts())
                    sections.push_back(object<Section>(d, texts));
                return sections;
            });
        }
        if (sameName(member, word::member::kContent)) {
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
        if (!sameName(member, word::member::kClose))
            unknown(member);
        // Close(SaveChanges:=wdDoNotSaveChanges) drops every change the document holds.
        const Variant* save =
            positional.empty() ? namedArgument(named, word::member::kSaveChanges) : &positional[0];
        if (save && positional.size() + named.size() == 1 &&
            save->toInt32() == word::kDoNotSaveChanges) {
            document_->discard();
            return {};
        }
        if (!positional.empty() || !named.empty()) {
            throw AutomationError(std::u16string(messages::kCloseArguments));
        }
        // A save the user should know about comes back as text for the run report.
        std::u16string notice = document_->keepOrStore();
        if (notice.empty())
            return {};
        return Variant(std::move(notice));
    }

  private:
    DocumentRef document_;
};

class Documents final : public MemberlessObject {
  public:
    explicit Documents(std::shared_ptr<OfficeSession> session)
        : MemberlessObject(u"Documents"), session_(std::move(session)) {}

    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        const bool finish = sameName(member, word::member::kQuorvaneFinishDocument);
        if (!finish && !sameName(member, word::member::kOpen))
            unknown(member);
        const Variant* path =
            positional.empty() ? namedArgument(named, word::member::kFileName) : &positional[0];
        if (finish) {
            if (!path || positional.size() > 1)
                throw AutomationError(
                    messages::oneFileNameNeeded(word::member::kQuorvaneFinishDocument));
            std::error_code error;
            const auto native = os::toNativePath(path->toString());
            const auto file = std::filesystem::canonical(native, error);
            // Whether the saved file was read back and found whole, for the run report.
            return Variant(session_->finish(error ? native : file));
        }
        if (!path || positional.size() > 1)
            throw AutomationError(messages::oneFileNameNeeded(word::member::kOpen));
        const Variant* readOnly = namedArgument(named, word::member::kReadOnly);
        return object<Document>(
            OfficeDocument::open(session_, path->toString(), readOnly && readOnly->toBool()));
    }

  private:
    std::shared_ptr<OfficeSession> session_;
};

}  // namespace

OfficeApplication::OfficeApplication(OfficeOptions options, std::shared_ptr<WarmOffices> warm)
    : session_(std::make_shared<OfficeSession>(std::move(options), std::move(warm))) {}

OfficeApplication::~OfficeApplication() {
    session_->quit();
}

Variant OfficeApplication::get(std::u16string_view member) {
    if (sameName(member, word::member::kDocuments))
        return object<Documents>(session_);
    if (sameName(member, word::member::kApplication))
        return Variant(std::shared_ptr<Object>(shared_from_this()));
    throw AutomationError(messages::noMember(u"Application", member));
}

void OfficeApplication::put(std::u16string_view member, const Variant& value) {
    // The office never shows a window: Visible is taken and has no effect.
    if (sameName(member, word::member::kVisible)) {
        value.toBool();
        return;
    }
    throw AutomationError(messages::cannotSet(u"Application", member));
}

Variant OfficeApplication::call(std::u16string_view member, const std::vector<Variant>&,
                                const std::vector<NamedArgument>&) {
    if (sameName(member, word::member::kQuit)) {
        session_->quit();
        return {};
    }
    throw AutomationError(messages::noMember(u"Application", member));
}

std::vector<Variant> OfficeApplication::enumerate() {
    throw AutomationError(messages::notEnumerable(u"Application"));
}

}  // namespace quorvane::automation::office
