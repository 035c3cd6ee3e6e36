#include "automation/com/word_factory.h"

#include <filesystem>
#include <optional>
#include <utility>

#include "automation/automation_error.h"
#include "automation/com/com_messages.h"
#include "automation/member_name.h"
#include "automation/resume_next.h"
#include "automation/word_model.h"
#include "os/atomic_save.h"
#include "os/file_system.h"
#include "os/log.h"

namespace quorvane::automation::com {
namespace {

namespace member = word::member;

constexpr std::int32_t kAlertsNone = 0;            // wdAlertsNone
constexpr std::int32_t kSecurityForceDisable = 3;  // msoAutomationSecurityForceDisable
constexpr std::int32_t kFindStop = 0;              // wdFindStop
constexpr std::int32_t kReplaceNone = 0;           // wdReplaceNone
constexpr std::int32_t kCollapseEnd = 0;           // wdCollapseEnd
constexpr std::int32_t kFormatEncodedText = 7;     // wdFormatEncodedText
// A password no document has: a protected document then fails to open instead of asking.
constexpr std::u16string_view kNoPassword = u"quorvane-no-password";

std::u16string number(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// wdFormatText, wdFormatTextLineBreaks, wdFormatDOSText, wdFormatDOSTextLineBreaks and
// wdFormatEncodedText (WdSaveFormat).
bool isTextFormat(std::int32_t format) {
    return (format >= 2 && format <= 5) || format == kFormatEncodedText;
}

// Letters whose uppercase differs: the ones Word's replace-all may change in a replacement.
bool hasCasedLetters(std::u16string_view text) {
    for (const char16_t c : text) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'Ａ' && c <= u'Ｚ') ||
            (c >= u'ａ' && c <= u'ｚ') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
            (c >= 0x370 && c <= 0x4FF)) {
            return true;
        }
    }
    return false;
}

// Puts the file Word saved in the document's place, unless another program wrote the document
// after Word opened it. When that fails, the original is put back where it can be, or else the
// saved file takes its place; throws AutomationError saying where each file is when neither can
// be done.
void putInPlace(os::AtomicSave& saved, const std::u16string& document,
                const std::optional<os::FileIdentity>& opened) {
    try {
        saved.commit(opened);
    } catch (const os::SaveError& failure) {
        // The other program's version stays as it is, and ours goes.
        if (failure.cause() == 0)
            throw AutomationError(failure.message());
        os::log::problem(u"保存した文書を元の場所に置けませんでした（エラー " +
                         number(static_cast<std::uint32_t>(failure.cause())) + u"）：" + document);
        throw AutomationError(messages::notPutInPlace(
            number(static_cast<std::uint32_t>(failure.cause())), failure.message(),
            os::fromNativePath(failure.keptOld()), os::fromNativePath(failure.keptNew())));
    }
}

// The extension of a document's name, which Word may need on the file it saves to.
std::filesystem::path extensionOf(const std::u16string& document) {
    return os::toNativePath(document).extension();
}

// What the session knows of one open document: whether a search replaced something in it, and
// whether one failed, in which case the pair is not applied and nothing of it is saved.
struct DocumentState {
    bool replaced = false;
    bool searchFailed = false;
    // Opened read-only: its changes are never saved.
    bool readOnly = false;
    // The file as Word read it: a save replaces only that.
    std::optional<os::FileIdentity> opened;
};

enum class Role { Application, Documents, Document, Find, Other };

class WordObject;
Variant wrap(Variant value, Role role, const std::shared_ptr<DocumentState>& document,
             Variant range = {});

// What a previous search, interactive or ours, left in the Find object must not change this
// one: literal text, no formatting, forward within the range only.
void pinOptions(const Variant& find) {
    find.call(u"ClearFormatting");
    find.get(u"Replacement").call(u"ClearFormatting");
    for (const auto& [option, value] :
         std::initializer_list<std::pair<std::u16string_view, Variant>>{
             {u"MatchWildcards", false},
             {u"MatchWholeWord", false},
             {u"MatchSoundsLike", false},
             {u"MatchAllWordForms", false},
             {u"Format", false},
             {u"Forward", true},
             {u"Wrap", kFindStop}}) {
        find.put(option, value);
    }
    // Not every edition has these: the Japanese ones' fuzzy search off and widths told apart,
    // so that the passes' own width handling means here what it means with the other backends.
    for (const auto option : {u"MatchPrefix", u"MatchSuffix", u"MatchPhrase", u"IgnoreSpace",
                              u"IgnorePunct", u"MatchFuzzy"}) {
        resumeNext([&] { find.put(option, false); });
    }
    resumeNext([&] { find.put(u"MatchByte", true); });
    resumeNext([&] { find.call(u"ClearAllFuzzyOptions"); });
}

class WordObject final : public Object {
  public:
    WordObject(std::shared_ptr<Object> inner, Role role, std::shared_ptr<DocumentState> document,
               Variant range)
        : inner_(std::move(inner)),
          role_(role),
          document_(std::move(document)),
          range_(std::move(range)) {}

    // The application: it knows how to start Word again when Word has died.
    WordObject(ObjectFactory& factory, std::u16string className)
        : inner_(factory.create(className).toObject()),
          role_(Role::Application),
          factory_(&factory),
          className_(std::move(className)) {}

    Variant get(std::u16string_view name) override {
        // The passes ask for Documents before each document: a Word that died with the last one
        // is replaced here, so that only the document at hand failed.
        if (factory_ && sameName(name, member::kDocuments)) {
            try {
                return wrap(inner_->get(name), Role::Documents, nullptr);
            } catch (const ServerGoneError&) {
                os::log::problem(u"Word が終了していたため、新しく起動します");
                inner_ = factory_->create(className_).toObject();
                setUpUnattended();
                return wrap(inner_->get(name), Role::Documents, nullptr);
            }
        }
        if (sameName(name, member::kFind))
            return wrap(inner_->get(name), Role::Find, document_, Variant(inner_));
        return wrap(inner_->get(name),
                    sameName(name, member::kDocuments) ? Role::Documents : Role::Other, document_);
    }

    void put(std::u16string_view name, const Variant& value) override { inner_->put(name, value); }

    Variant call(std::u16string_view name, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        if (role_ == Role::Documents && sameName(name, member::kOpen))
            return open(positional, named);
        // Word itself has no such member: each Close has already saved the document.
        if (role_ == Role::Documents && sameName(name, member::kQuorvaneFinishDocument))
            return {};
        if (role_ == Role::Document && sameName(name, member::kClose) && positional.empty() &&
            named.empty()) {
            close();
            return {};
        }
        if (role_ == Role::Find && sameName(name, member::kExecute))
            return execute(positional, named);
        if (role_ == Role::Application && sameName(name, member::kQuit) && named.empty())
            return inner_->call(name, positional,
                                {{std::u16string(member::kSaveChanges), word::kDoNotSaveChanges}});
        return wrap(inner_->call(name, positional, named), Role::Other, document_);
    }

    std::vector<Variant> enumerate() override {
        std::vector<Variant> members = inner_->enumerate();
        for (Variant& m : members)
            m = wrap(std::move(m), Role::Other, document_);
        return members;
    }

    void setUpUnattended() {
        inner_->put(member::kVisible, false);
        inner_->put(u"DisplayAlerts", kAlertsNone);
        inner_->put(u"AutomationSecurity", kSecurityForceDisable);
    }

  private:
    Variant open(const std::vector<Variant>& positional, std::vector<NamedArgument> named) {
        // Asked for read-only, the document may be changed but never saved: a dry run.
        const Variant* asked = namedArgument(named, member::kReadOnly);
        const bool readOnly = asked && asked->toBool();
        for (auto& [argument, value] :
             std::initializer_list<std::pair<std::u16string_view, Variant>>{
                 {u"ConfirmConversions", false},
                 {member::kReadOnly, false},
                 {u"AddToRecentFiles", false},
                 {u"PasswordDocument", std::u16string(kNoPassword)},
                 {u"WritePasswordDocument", std::u16string(kNoPassword)},
                 // A document Word still holds, from a pair whose save failed, is read again.
                 {u"Revert", true},
                 {member::kVisible, false},
                 {u"OpenAndRepair", false},
                 {u"NoEncodingDialog", true}}) {
            if (!namedArgument(named, argument))
                named.push_back({std::u16string(argument), value});
        }
        const Variant document = inner_->call(member::kOpen, positional, named);
        // A recommendation to open read-only is no refusal: the document is saved under a new
        // name and put in place, which the recommendation does not hinder.
        if (!readOnly && document.isObject() && document.get(member::kReadOnly).toBool() &&
            !document.get(u"ReadOnlyRecommended").toBool()) {
            document.call(member::kClose, {},
                          {{std::u16string(member::kSaveChanges), word::kDoNotSaveChanges}});
            throw AutomationError(messages::openedReadOnly());
        }
        auto state = std::make_shared<DocumentState>();
        state->readOnly = readOnly;
        if (!readOnly && document.isObject()) {
            state->opened =
                os::FileIdentity::of(os::toNativePath(document.get(u"FullName").toString()));
        }
        return wrap(document, Role::Document, state);
    }

    void close() {
        const auto closeUnsaved = [&] {
            inner_->call(member::kClose, {},
                         {{std::u16string(member::kSaveChanges), word::kDoNotSaveChanges}});
        };
        if (!document_->replaced || document_->searchFailed || document_->readOnly) {
            closeUnsaved();
            return;
        }
        std::u16string path;
        std::unique_ptr<os::AtomicSave> saved;
        try {
            path = inner_->get(u"FullName").toString();
            saved = std::make_unique<os::AtomicSave>(
                os::toNativePath(path), os::AtomicSave::WrittenByAnother{extensionOf(path)});
            inner_->call(u"SaveAs2", {}, saveArguments(os::fromNativePath(saved->path())));
        } catch (const AutomationError&) {
            resumeNext(closeUnsaved);
            throw;
        } catch (const os::SaveError& failure) {
            resumeNext(closeUnsaved);
            throw AutomationError(failure.message());
        }
        // Word holds the file it saved to until the document is closed.
        closeUnsaved();
        putInPlace(*saved, path, document_->opened);
    }

    // In the document's own format; a text file in the encoding and with the line ends it was
    // read with, which SaveAs2 would otherwise take from the system (the system code page, CR LF).
    std::vector<NamedArgument> saveArguments(const std::u16string& file) {
        const std::int32_t format = inner_->get(u"SaveFormat").toInt32();
        std::vector<NamedArgument> named{
            {std::u16string(member::kFileName), file},
            {u"FileFormat", isTextFormat(format) ? kFormatEncodedText : format},
            {u"AddToRecentFiles", false},
            {u"ReadOnlyRecommended", inner_->get(u"ReadOnlyRecommended")}};
        if (isTextFormat(format)) {
            named.push_back({u"Encoding", inner_->get(u"TextEncoding")});
            named.push_back({u"LineEnding", inner_->get(u"TextLineEnding")});
            named.push_back({u"InsertLineBreaks", format == 3 || format == 5});
        }
        return named;
    }

    Variant execute(const std::vector<Variant>& positional, std::vector<NamedArgument> named) {
        const auto text = [&](const Variant* value) {
            return value && value->type() == Variant::Type::String
                       ? std::optional<std::u16string>(value->toString())
                       : std::nullopt;
        };
        const auto findText =
            text(positional.empty() ? namedArgument(named, member::kFindText) : &positional[0]);
        const auto replaceWith = text(namedArgument(named, member::kReplaceWith));
        const Variant* replace = namedArgument(named, member::kReplace);
        const bool replaceAll = replace && replace->type() == Variant::Type::Int32 &&
                                replace->toInt32() == word::kReplaceAll;
        try {
            checkLimit(findText, messages::findTextTooLong);
            checkLimit(replaceWith, messages::replacementTooLong);
            pinOptions(Variant(inner_));
            const Variant* matchCase = namedArgument(named, member::kMatchCase);
            const bool caseMatched = matchCase && matchCase->toBool();
            if (!matchCase)
                named.push_back({std::u16string(member::kMatchCase), false});
            if (replaceAll && findText && replaceWith && !caseMatched &&
                keepsCaseOnlyMatchByMatch(*findText, *replaceWith)) {
                const std::int32_t count = eachMatch(*findText, false, &*replaceWith);
                noteReplaced(count > 0);
                return count;
            }
            // Word answers only whether it replaced anything: the matches are counted first,
            // by finding them without replacing.
            const std::optional<std::int32_t> count =
                replaceAll && findText ? std::optional(eachMatch(*findText, caseMatched, nullptr))
                                       : std::nullopt;
            const Variant answer = inner_->call(member::kExecute, positional, named);
            if (!replaceAll)
                return answer;
            const bool replaced =
                answer.type() == Variant::Type::Int32 ? answer.toInt32() > 0 : answer.toBool();
            noteReplaced(replaced);
            // A count that disagrees with Word's own answer is not given.
            return count && (*count > 0) == replaced ? Variant(*count) : answer;
        } catch (const AutomationError&) {
            if (document_)
                document_->searchFailed = true;
            throw;
        }
    }

    static void checkLimit(const std::optional<std::u16string>& text,
                           std::u16string (*tooLong)(std::u16string_view length)) {
        if (text && text->size() > kWordTextLimit)
            throw AutomationError(tooLong(number(text->size())));
    }

    void noteReplaced(bool replaced) {
        if (document_ && replaced)
            document_->replaced = true;
    }

    // Without MatchCase, Word's replace-all puts an uppercase version of the replacement for an
    // uppercase match. Where that could change the replacement, matches are replaced one by one
    // instead, unless the replacement holds ^ codes, which only Execute itself understands.
    static bool keepsCaseOnlyMatchByMatch(const std::u16string& findText,
                                          const std::u16string& replacement) {
        return hasCasedLetters(findText) && hasCasedLetters(replacement) &&
               replacement.find(u'^') == std::u16string::npos;
    }

    // Each match found in turn, up to the end of the region, and counted; with a replacement, its
    // text set to it, so that the replacement is exactly as given and takes the match's
    // formatting, the region growing and shrinking with the replacements inside it.
    std::int32_t eachMatch(const std::u16string& findText, bool matchCase,
                           const std::u16string* replacement) {
        const Variant region = range_.get(u"Duplicate");
        const Variant match = range_.get(u"Duplicate");
        const Variant find = match.get(member::kFind);
        pinOptions(find);
        const std::vector<NamedArgument> search{{std::u16string(member::kFindText), findText},
                                                {std::u16string(member::kMatchCase), matchCase},
                                                {u"Forward", true},
                                                {u"Wrap", kFindStop},
                                                {u"Format", false},
                                                {std::u16string(member::kReplace), kReplaceNone}};
        std::int32_t count = 0;
        std::int32_t after = -1;
        while (find.call(member::kExecute, {}, search).toBool()) {
            const std::int32_t start = match.get(u"Start").toInt32();
            if (start < after || match.get(u"End").toInt32() > region.get(u"End").toInt32())
                break;
            if (replacement)
                match.put(u"Text", *replacement);
            ++count;
            match.call(u"Collapse", {}, {{u"Direction", kCollapseEnd}});
            after = match.get(u"Start").toInt32();
            match.call(u"SetRange", {after, region.get(u"End")});
        }
        return count;
    }

    std::shared_ptr<Object> inner_;
    Role role_;
    std::shared_ptr<DocumentState> document_;
    // For a Find: the range it searches.
    Variant range_;
    ObjectFactory* factory_ = nullptr;
    std::u16string className_;
};

Variant wrap(Variant value, Role role, const std::shared_ptr<DocumentState>& document,
             Variant range) {
    if (!value.isObject())
        return value;
    return Variant(
        std::make_shared<WordObject>(value.toObject(), role, document, std::move(range)));
}

}  // namespace

Variant WordFactory::create(std::u16string_view className) {
    auto word = std::make_shared<WordObject>(inner_, std::u16string(className));
    try {
        word->setUpUnattended();
    } catch (const AutomationError&) {
        // A word processor that cannot be set up must not be left running, unseen.
        resumeNext([&] { word->call(member::kQuit, {}, {}); });
        throw;
    }
    return Variant(std::move(word));
}

}  // namespace quorvane::automation::com
