#include "automation/com/word_session.h"

#include <windows.h>

#include <random>
#include <utility>

#include "automation/automation_error.h"
#include "automation/com/com_object.h"
#include "automation/member_name.h"
#include "automation/resume_next.h"
#include "automation/word_model.h"
#include "os/log.h"

namespace quorvane::automation::com {
namespace {

namespace member = word::member;

constexpr std::int32_t kAlertsNone = 0;            // wdAlertsNone
constexpr std::int32_t kSecurityForceDisable = 3;  // msoAutomationSecurityForceDisable
constexpr std::int32_t kDoNotSaveChanges = 0;      // wdDoNotSaveChanges
constexpr std::int32_t kFindStop = 0;              // wdFindStop
// A password no document has: a protected document then fails to open instead of asking.
constexpr std::u16string_view kNoPassword = u"quorvane-no-password";

enum class Role { Application, Documents, Document, Find, Other };

Variant wrap(Variant value, Role role);

// A file beside the document, removed unless it has been put in place.
class SaveFile final {
  public:
    explicit SaveFile(const std::u16string& document) {
        std::random_device random;
        const auto folderEnd = document.find_last_of(u"\\/");
        const auto extension = document.rfind(u'.');
        path_ = document.substr(0, folderEnd == std::u16string::npos ? 0 : folderEnd + 1) +
                u"~quorvane-" + digits(random()) + digits(random()) +
                (extension != std::u16string::npos &&
                         (folderEnd == std::u16string::npos || extension > folderEnd)
                     ? document.substr(extension)
                     : u"");
    }
    ~SaveFile() {
        if (!path_.empty())
            DeleteFileW(wide(path_).c_str());
    }
    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    const std::u16string& path() const { return path_; }

    // Puts the saved file in place of the document; false, and the document untouched, when the
    // system refuses.
    bool replace(const std::u16string& document) {
        if (!ReplaceFileW(wide(document).c_str(), wide(path_).c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            return false;
        }
        path_.clear();
        return true;
    }

  private:
    static std::wstring wide(const std::u16string& text) { return {text.begin(), text.end()}; }
    static std::u16string digits(unsigned value) {
        std::u16string out;
        for (int i = 0; i < 8; ++i, value >>= 4)
            out += u"0123456789abcdef"[value & 15];
        return out;
    }

    std::u16string path_;
};

class WordObject final : public Object {
  public:
    WordObject(std::shared_ptr<Object> inner, Role role) : inner_(std::move(inner)), role_(role) {}

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
                return wrap(inner_->get(name), Role::Documents);
            } catch (const ServerGoneError&) {
                os::log::problem(u"Word が終了していたため、新しく起動します");
                inner_ = factory_->create(className_).toObject();
                setUpUnattended();
                return wrap(inner_->get(name), Role::Documents);
            }
        }
        Role role = Role::Other;
        if (sameName(name, member::kDocuments))
            role = Role::Documents;
        else if (sameName(name, member::kFind))
            role = Role::Find;
        return wrap(inner_->get(name), role);
    }

    void put(std::u16string_view name, const Variant& value) override { inner_->put(name, value); }

    Variant call(std::u16string_view name, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override {
        if (role_ == Role::Documents && sameName(name, member::kOpen))
            return open(positional, named);
        // Word itself has no such member: each Close has already saved the document.
        if (role_ == Role::Documents && sameName(name, member::kFinish))
            return {};
        if (role_ == Role::Document && sameName(name, member::kClose) && positional.empty() &&
            named.empty()) {
            close();
            return {};
        }
        if (role_ == Role::Find && sameName(name, member::kExecute))
            return execute(positional, named);
        if (role_ == Role::Application && sameName(name, member::kQuit) && named.empty())
            return inner_->call(name, positional, {{u"SaveChanges", kDoNotSaveChanges}});
        return wrap(inner_->call(name, positional, named), Role::Other);
    }

    std::vector<Variant> enumerate() override {
        std::vector<Variant> members = inner_->enumerate();
        for (Variant& m : members)
            m = wrap(std::move(m), Role::Other);
        return members;
    }

    void setUpUnattended() {
        inner_->put(member::kVisible, false);
        inner_->put(u"DisplayAlerts", kAlertsNone);
        inner_->put(u"AutomationSecurity", kSecurityForceDisable);
    }

  private:
    Variant open(const std::vector<Variant>& positional, std::vector<NamedArgument> named) {
        for (auto& [argument, value] :
             std::initializer_list<std::pair<std::u16string_view, Variant>>{
                 {u"ConfirmConversions", false},
                 {u"ReadOnly", false},
                 {u"AddToRecentFiles", false},
                 {u"PasswordDocument", std::u16string(kNoPassword)},
                 {u"WritePasswordDocument", std::u16string(kNoPassword)},
                 {u"Revert", false},
                 {u"Visible", false},
                 {u"OpenAndRepair", false},
                 {u"NoEncodingDialog", true}}) {
            named.push_back({std::u16string(argument), value});
        }
        const Variant document = inner_->call(member::kOpen, positional, named);
        if (document.isObject() && document.get(u"ReadOnly").toBool()) {
            document.call(member::kClose, {}, {{u"SaveChanges", kDoNotSaveChanges}});
            throw AutomationError(
                u"文書が読み取り専用で開かれたため（ほかで使用中か、読み取り専用のファイル）、"
                u"置換しても保存できません");
        }
        return wrap(document, Role::Document);
    }

    void close() {
        if (inner_->get(u"Saved").toBool()) {
            inner_->call(member::kClose, {}, {{u"SaveChanges", kDoNotSaveChanges}});
            return;
        }
        const std::u16string document = inner_->get(u"FullName").toString();
        SaveFile saved(document);
        inner_->call(u"SaveAs2", {},
                     {{u"FileName", saved.path()},
                      {u"FileFormat", inner_->get(u"SaveFormat")},
                      {u"AddToRecentFiles", false}});
        inner_->call(member::kClose, {}, {{u"SaveChanges", kDoNotSaveChanges}});
        if (!saved.replace(document)) {
            const DWORD error = GetLastError();
            os::log::problem(u"ReplaceFileW に失敗しました：" + document + u"（エラー " +
                             number(error) + u"）");
            throw AutomationError(u"置換後の文書を元の場所に置けませんでした（エラー " +
                                  number(error) + u"）。元の文書はそのままです");
        }
    }

    Variant execute(const std::vector<Variant>& positional, std::vector<NamedArgument> named) {
        const auto text = [&](std::u16string_view argument) -> const Variant* {
            for (const auto& a : named) {
                if (sameName(a.name, argument))
                    return &a.value;
            }
            return nullptr;
        };
        for (const Variant* value : {positional.empty() ? text(member::kFindText) : &positional[0],
                                     text(member::kReplaceWith)}) {
            if (value && value->type() == Variant::Type::String &&
                value->toString().size() > kWordTextLimit) {
                throw AutomationError(u"Word の検索・置換文字列は 255 文字までです（" +
                                      number(value->toString().size()) + u" 文字）");
            }
        }
        pinOptions();
        if (!text(member::kMatchCase))
            named.push_back({std::u16string(member::kMatchCase), false});
        return inner_->call(member::kExecute, positional, named);
    }

    // What a previous search, interactive or ours, left in the Find object must not change this
    // one: literal text, no formatting, forward within the range only.
    void pinOptions() {
        inner_->call(u"ClearFormatting", {}, {});
        inner_->get(u"Replacement").call(u"ClearFormatting");
        for (const auto& [option, value] :
             std::initializer_list<std::pair<std::u16string_view, Variant>>{
                 {u"MatchWildcards", false},
                 {u"MatchWholeWord", false},
                 {u"MatchSoundsLike", false},
                 {u"MatchAllWordForms", false},
                 {u"Format", false},
                 {u"Forward", true},
                 {u"Wrap", kFindStop}}) {
            inner_->put(option, value);
        }
        // Only Japanese editions have these: off fuzzy search, and widths distinguished, so that
        // the passes' own width handling means here what it means with the other backends.
        resumeNext([&] { inner_->put(u"MatchFuzzy", false); });
        resumeNext([&] { inner_->put(u"MatchByte", true); });
    }

    static std::u16string number(std::uint64_t value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    }

    std::shared_ptr<Object> inner_;
    Role role_;
    ObjectFactory* factory_ = nullptr;
    std::u16string className_;
};

Variant wrap(Variant value, Role role) {
    if (!value.isObject())
        return value;
    return Variant(std::make_shared<WordObject>(value.toObject(), role));
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
