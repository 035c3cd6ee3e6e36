#include "automation/office/office_document.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/document/BrokenPackageRequest.hpp>
#include <com/sun/star/document/LockedDocumentRequest.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/task/ErrorCodeIOException.hpp>
#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include "automation/office/office_messages.h"
#include "automation/office/text_file_encoding.h"
#include "os/atomic_save.h"
#include "os/descriptor.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"

namespace quorvane::automation::office {

namespace fs = std::filesystem;
using css::beans::PropertyValue;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

struct OfficeDocument::Loaded {
    Reference<css::frame::XModel> model;
    // The document's job in the office, which took it.
    Reference<css::task::XJob> replacer;
    OUString filter;
    OUString filterOptions;
    bool inputFields = false;
    // How it is saved: the format, and what the user is told when that is not the file's own.
    OUString storeFilter;
    std::u16string storeNotice;
};

namespace {

// Answers every question of the office by aborting, so that no dialog can wait for a user who
// is not there, and remembers what was asked to tell the user why the load failed.
class AbortingHandler final : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
  public:
    void SAL_CALL handle(const Reference<css::task::XInteractionRequest>& request) override {
        const Any what = request->getRequest();
        if (what.isExtractableTo(cppu::UnoType<css::task::PasswordRequest>::get())) {
            reason_ = messages::kPasswordProtected;
        } else if (what.isExtractableTo(
                       cppu::UnoType<css::document::LockedDocumentRequest>::get())) {
            reason_ = messages::kLocked;
        } else if (what.isExtractableTo(
                       cppu::UnoType<css::document::BrokenPackageRequest>::get())) {
            reason_ = messages::kBroken;
        }
        for (const auto& continuation : request->getContinuations()) {
            const Reference<css::task::XInteractionAbort> abort(continuation, UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }
    const std::u16string& reason() const noexcept { return reason_; }

  private:
    std::u16string reason_;
};

OUString urlOf(const fs::path& path) {
    return OUString::createFromAscii(fileUrl(path).c_str());
}

// A file without any write permission is read-only to us even where the system would let us
// (root): the user marked it so.
bool readOnly(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

// The office's own formats, which it writes back whole.
bool writesOwnFormat(const OUString& filter) {
    return filter.startsWith("writer8") || filter == "OpenDocument Text Flat XML" ||
           filter.startsWith("StarOffice XML");
}

// Word 2007 and later, .docx and its templates and macro documents alike.
bool writesWordXml(const OUString& filter) {
    return filter.startsWith("MS Word 2007 XML") || filter.startsWith("Office Open XML Text");
}

bool isPlainTextFilter(const OUString& filter) {
    return filter.startsWith("Text");
}

std::u16string describeFilter(const OUString& filter) {
    if (filter.isEmpty())
        return std::u16string(messages::kUnknownFormat);
    if (isPlainTextFilter(filter))
        return std::u16string(messages::kPlainTextFormat);
    return toU16(filter);
}

// The filter can write its format (the office's filter flag EXPORT).
constexpr sal_Int32 kFilterExport = 0x2;

// Formats of old Word versions the office reads but no longer writes, saved as Word 97-2003
// under the same name: Word and the office read that format wherever they read the old one.
struct Successor {
    const char* load;
    const char* store;
    std::u16string_view was;
};
// The office loads Word 6.0 documents with its Word 95 filter as well.
constexpr Successor kSuccessors[] = {
    {"MS WinWord 5", "MS Word 97", u"WinWord 5"},
    {"MS WinWord 6.0", "MS Word 97", u"Word 6.0/95"},
    {"MS Word 95", "MS Word 97", u"Word 6.0/95"},
    {"MS Word 95 Vorlage", "MS Word 97 Vorlage", u"Word 6.0/95 テンプレート"},
};

struct SavePlan {
    OUString filter;
    std::u16string notice;
};

// How a document loaded with this filter is saved; nothing when the office cannot write it.
std::optional<SavePlan> savePlan(OfficeSession& session, const OUString& filter) {
    for (const auto& successor : kSuccessors) {
        if (filter.equalsAscii(successor.load)) {
            return SavePlan{OUString::createFromAscii(successor.store),
                            messages::savedAsWord97(successor.was)};
        }
    }
    if ((session.filterFlags(filter) & kFilterExport) == 0)
        return std::nullopt;
    return SavePlan{filter, {}};
}

// The office's reason of a failed store, by its error code: the class (bits 8 to 12) tells a
// full disk or a refusal whatever the area; I/O codes (area 0) also have their own low byte.
std::u16string storeFailureReason(sal_Int32 errorCode) {
    const auto code = static_cast<sal_uInt32>(errorCode);
    switch ((code >> 8) & 0x1f) {
        case 5:  // ErrCodeClass::Access
            return os::writeFailure(EACCES);
        case 9:  // ErrCodeClass::Space
            return os::writeFailure(ENOSPC);
        default:
            break;
    }
    if ((code >> 13) != 0)
        return std::u16string(messages::kNotWritten);
    switch (code & 0xff) {
        case 7:   // ACCESSDENIED
        case 19:  // WRITEPROTECTED
            return os::writeFailure(EACCES);
        case 12:  // OUTOFSPACE
            return os::writeFailure(ENOSPC);
        case 16:  // LOCKVIOLATION
            return std::u16string(messages::kInUse);
        case 24:  // NAMETOOLONG
            return os::writeFailure(ENAMETOOLONG);
        default:
            return std::u16string(messages::kNotWritten);
    }
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The file at path, if it is one the office may be given.
fs::path documentFile(std::u16string_view path) {
    std::error_code error;
    const fs::path file = fs::canonical(os::toNativePath(path), error);
    if (error == std::errc::filename_too_long) {
        throw AutomationError(std::u16string(messages::kPathTooLong));
    }
    if (error)
        throw AutomationError(std::u16string(messages::kFileNotFound));
    if (!fs::is_regular_file(file, error)) {
        throw AutomationError(std::u16string(messages::kNotARegularFile));
    }
    return file;
}

// Refuses a file the office cannot load, or, when it is to be written, whose changes could not
// be saved, before it loads.
void checkLoadable(const fs::path& file, bool toBeWritten) {
    std::error_code error;
    if (fs::file_size(file, error) == 0) {
        throw AutomationError(std::u16string(messages::kEmptyFile));
    }
    if (::access(file.c_str(), R_OK) != 0) {
        throw AutomationError(std::u16string(messages::kNotReadable));
    }
    if (toBeWritten && readOnly(file))
        throw AutomationError(std::u16string(messages::kReadOnly));
}

// The text filter's options for a .txt file, in the encoding its bytes show.
std::string textOptionsOf(const fs::path& file) {
    const auto options = textFilterOptions(bytesOf(file));
    if (!options) {
        throw AutomationError(std::u16string(messages::kEncodingUnknown));
    }
    return *options;
}

// Loads the file hidden, with no macro run and no link updated; nothing when type detection
// found nothing it can load. An office call: made inside call().
Reference<css::frame::XModel> loadModel(OfficeSession& session, const fs::path& file,
                                        bool openReadOnly, const std::string& textOptions,
                                        const rtl::Reference<AbortingHandler>& handler) {
    const Reference<css::frame::XComponentLoader> loader(session.desktop(), UNO_QUERY_THROW);
    std::vector<PropertyValue> args = {
        property("Hidden", true),
        property("ReadOnly", openReadOnly),
        property("MacroExecutionMode", css::document::MacroExecMode::NEVER_EXECUTE),
        property("UpdateDocMode", css::document::UpdateDocMode::NO_UPDATE),
        property("RepairPackage", false),
        property("InteractionHandler", Reference<css::task::XInteractionHandler>(handler.get()))};
    if (!textOptions.empty()) {
        args.push_back(property("FilterName", OUString("Text (encoded)")));
        args.push_back(property("FilterOptions", OUString::createFromAscii(textOptions.c_str())));
    }
    try {
        return Reference<css::frame::XModel>(
            loader->loadComponentFromURL(
                urlOf(file), "_blank", 0,
                Sequence<PropertyValue>(args.data(), static_cast<sal_Int32>(args.size()))),
            UNO_QUERY);
    } catch (const css::lang::IllegalArgumentException& e) {
        // Type detection found nothing it can load.
        os::log::detail(u"読み込めません：" + os::fromNativePath(file) + u"：" + toU16(e.Message));
        return {};
    }
}

// Takes a loaded model as a document to replace in, with how it will be saved, or closes it and
// refuses it. An office call: made inside call().
SavePlan classify(OfficeSession& session, const Reference<css::frame::XModel>& model,
                  const replacer::TakeDocument::Answer& taken, bool txtName) {
    const OUString& filter = taken.filter;
    // Plain text loads as a word-processing document too, and saving it would flatten a
    // document that only failed to load into text: only .txt files are taken as text.
    const bool text = isPlainTextFilter(filter);
    if (!taken.wordProcessing || (text && !txtName)) {
        closeModel(model);
        throw AutomationError(messages::notADocument(describeFilter(filter)));
    }
    // Refused before anything is replaced: the changes could not be saved.
    auto plan = savePlan(session, filter);
    if (!plan) {
        closeModel(model);
        throw AutomationError(messages::formatNotWritable(describeFilter(filter)));
    }
    return std::move(*plan);
}

// Loads and classifies the document; its model is empty when the office could not load it.
OfficeDocument::Loaded load(OfficeSession& session, const fs::path& file, bool openReadOnly,
                            bool txtName, const std::string& textOptions,
                            const rtl::Reference<AbortingHandler>& handler) {
    return session.call([&] {
        OfficeDocument::Loaded result;
        result.model = loadModel(session, file, openReadOnly, textOptions, handler);
        if (!result.model.is())
            return result;
        std::optional<replacer::TakeDocument::Answer> taken;
        try {
            result.replacer = session.makeReplacer();
            taken = replacer::decodeAnswer<replacer::TakeDocument>(result.replacer->execute(
                replacer::encodeRequest(result.model, replacer::TakeDocument{})));
        } catch (const css::uno::Exception&) {
            closeModel(result.model);
            throw;
        }
        if (!taken) {
            closeModel(result.model);
            throw AutomationError(std::u16string(messages::kReplacerAnswerUnknown));
        }
        result.filter = taken->filter;
        result.filterOptions = taken->filterOptions;
        result.inputFields = taken->inputFields;
        os::log::detail(u"読み込みました：" + os::fromNativePath(file) + u"（" +
                        toU16(result.filter) + u"）");
        SavePlan plan = classify(session, result.model, *taken, txtName);
        result.storeFilter = std::move(plan.filter);
        result.storeNotice = std::move(plan.notice);
        return result;
    });
}

}  // namespace

std::shared_ptr<OfficeDocument> OfficeDocument::open(const std::shared_ptr<OfficeSession>& session,
                                                     std::u16string_view path, bool openReadOnly) {
    const fs::path file = documentFile(path);
    session->checkNotRefused(file);
    if (auto kept = openReadOnly ? nullptr : session->reopen(file)) {
        kept->closed_ = false;
        session->documentOpened();
        return kept;
    }
    checkLoadable(file, !openReadOnly);
    // Held until the run is done with the document; the file as it is now is what a save may
    // replace. A document that is never written is only looked at: no lock file is made for it.
    if (openReadOnly && DocumentLock::heldByOthers(file))
        throw AutomationError(std::u16string(messages::kLocked));
    std::optional<DocumentLock> lock = openReadOnly ? std::nullopt : DocumentLock::take(file);
    const std::optional<os::FileIdentity> identity = os::FileIdentity::of(file);

    const bool txtName = file.extension() == ".txt" || file.extension() == ".TXT";
    const std::string textOptions = txtName ? textOptionsOf(file) : std::string();
    session->prepareForDocument();
    const rtl::Reference<AbortingHandler> handler(new AbortingHandler);
    const Loaded loaded = load(*session, file, openReadOnly, txtName, textOptions, handler);
    if (!loaded.model.is()) {
        throw AutomationError(handler->reason().empty()
                                  ? std::u16string(messages::kBrokenOrUnknownFormat)
                                  : handler->reason());
    }
    session->documentOpened();
    std::shared_ptr<OfficeDocument> document(
        new OfficeDocument(session, file, loaded, std::move(lock), identity, openReadOnly));
    session->documentLoaded(document);
    return document;
}

OfficeDocument::OfficeDocument(std::shared_ptr<OfficeSession> session, fs::path path, Loaded loaded,
                               std::optional<DocumentLock> lock,
                               std::optional<os::FileIdentity> identity, bool readOnly)
    : session_(std::move(session)),
      generation_(session_->generation()),
      path_(std::move(path)),
      model_(std::move(loaded.model)),
      filter_(std::move(loaded.filter)),
      filterOptions_(std::move(loaded.filterOptions)),
      storeFilter_(std::move(loaded.storeFilter)),
      storeNotice_(std::move(loaded.storeNotice)),
      inputFields_(loaded.inputFields),
      lock_(std::move(lock)),
      identity_(identity),
      replacer_(std::move(loaded.replacer)),
      readOnly_(readOnly) {}

OfficeDocument::~OfficeDocument() {
    if (!closed_ && usable())
        session_->documentClosed();
    release();
}

const std::vector<TextRef>& OfficeDocument::shapeTexts() {
    if (!shapeTexts_)
        readRegions();
    return *shapeTexts_;
}

const std::vector<SectionTexts>& OfficeDocument::sectionTexts() {
    if (!sectionTexts_)
        readRegions();
    return *sectionTexts_;
}

void OfficeDocument::readRegions() {
    checkUsable();
    auto regions = callReplacer(replacer::ReadRegions{});
    shapeTexts_ = std::move(regions.shapes);
    sectionTexts_ = std::move(regions.sections);
    regionTexts_.clear();
    const auto add = [&](const std::vector<TextRef>& texts) {
        for (const auto& text : texts) {
            if (text.is() && !findRegionText(text))
                regionTexts_.push_back(text);
        }
    };
    add(*shapeTexts_);
    for (const auto& section : *sectionTexts_) {
        add(section.headers);
        add(section.footers);
    }
}

std::optional<std::size_t> OfficeDocument::findRegionText(const TextRef& text) const {
    // The bridge gives one proxy for each object: comparing them asks the office nothing.
    for (std::size_t i = 0; i < regionTexts_.size(); ++i) {
        if (regionTexts_[i].get() == text.get())
            return i;
    }
    return std::nullopt;
}

template <typename Action>
typename Action::Answer OfficeDocument::callReplacer(const Action& action) {
    // A closed document stays loaded until it is written, and the save asks the replacer too:
    // the callers check whether the document may still be used.
    if (released_ || !usable())
        throwUnusable();
    const css::uno::Any answer =
        session_->call([&] { return replacer_->execute(replacer::encodeRequest(model_, action)); });
    auto decoded = replacer::decodeAnswer<Action>(answer);
    if (!decoded)
        throw AutomationError(std::u16string(messages::kReplacerAnswerUnknown));
    return std::move(*decoded);
}

int OfficeDocument::replaceIn(const TextRef& text, std::u16string_view find,
                              std::u16string_view replacement, bool matchCase) {
    checkUsable();
    replacer::Replace action{
        text, std::u16string(find), std::u16string(replacement), matchCase, {}};
    // The body, or a text reached another way, is always searched. The shape and section texts
    // are screened with the first search for a find text: only a replacement changes a text, and
    // a search for another find text asks anew, so a text that held no match when asked holds
    // none until then.
    const auto at = findRegionText(text);
    if (at && screen_ && screen_->find == find && screen_->matchCase == matchCase) {
        if (!screen_->mayMatch[*at])
            return 0;
    } else if (at) {
        action.screen = regionTexts_;
    }
    auto replaced = callReplacer(action);
    if (!action.screen.empty()) {
        if (replaced.mayMatch.size() != regionTexts_.size())
            throw AutomationError(std::u16string(messages::kReplacerAnswerUnknown));
        screen_ = Screen{action.find, matchCase, std::move(replaced.mayMatch)};
    }
    for (const auto& problem : replaced.problems)
        os::log::problem(problem);
    return replaced.count;
}

std::u16string OfficeDocument::keepInputFieldsWhole() {
    const auto converted = callReplacer(replacer::KeepInputFieldsWhole{});
    // Fields became controls: what holds a match is asked anew.
    screen_.reset();
    std::u16string notice;
    const auto number = [](int n) { return os::fromUtf8(std::to_string(n)); };
    if (converted.controls > 0)
        notice = messages::controlsKeptAsRichText(number(converted.controls));
    if (converted.fields > 0) {
        if (!notice.empty())
            notice += messages::kNoticeSeparator;
        notice += messages::inputFieldsKeptAsControls(number(converted.fields));
    }
    return notice;
}

bool OfficeDocument::usable() const noexcept {
    return !released_ && session_->running() && session_->generation() == generation_;
}

bool OfficeDocument::unchangedOnDisk() const {
    return identity_ && os::FileIdentity::of(path_) == identity_;
}

void OfficeDocument::throwUnusable() const {
    const std::u16string& reason = session_->lossReason();
    // Another office took over: this one was lost with the document's changes.
    if (!released_ && session_->generation() != generation_ && !reason.empty())
        throw WordProcessorLostError(reason);
    throw AutomationError(reason.empty() ? std::u16string(messages::kOfficeEnded) : reason);
}

void OfficeDocument::checkUsable() const {
    if (closed_ || released_)
        throw AutomationError(std::u16string(messages::kAlreadyClosed));
    if (!usable())
        throwUnusable();
}

std::u16string OfficeDocument::keepOrStore() {
    checkUsable();
    std::u16string notice = changed_ && storeFilter_ != filter_ ? storeNotice_ : u"";
    if (changed_ && inputFields_ && writesWordXml(storeFilter_))
        notice = keepInputFieldsWhole();
    closed_ = true;
    session_->documentClosed();
    // Only a document whose file we can recognise later is kept for the next pair.
    if (identity_ && os::FileIdentity::of(path_)) {
        session_->keep(shared_from_this());
        return notice;
    }
    const ReleasedOnExit release(*this);
    store();
    return notice;
}

bool OfficeDocument::store() {
    if (!changed() || readOnly_)
        return false;
    if (!usable())
        throwUnusable();
    const bool modified = session_->call([&] {
        const Reference<css::util::XModifiable> modifiable(model_, UNO_QUERY_THROW);
        return bool(modifiable->isModified());
    });
    if (!modified)
        return false;
    if (readOnly(path_))
        throw AutomationError(std::u16string(messages::kReadOnly));
    const bool checked = session_->options().checkSavedFiles && !writesOwnFormat(storeFilter_);
    try {
        // Made first, so that a folder we cannot write to fails before the office writes.
        os::AtomicSave save(path_);
        // The office writes into a folder of its own, where nothing can be planted and none of
        // its temporary files is left beside the documents; the new version then goes through
        // the one way files are saved here.
        const fs::path stored = session_->storeFolder() / path_.filename();
        struct Remove {
            const fs::path& path;
            ~Remove() { ::unlink(path.c_str()); }
        } removeStored{stored};
        storeTo(stored);
        if (checked)
            checkSavedFile(stored);
        const os::Descriptor written(::open(stored.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!written.valid())
            throw os::SaveError(std::u16string(messages::kNotWritten), errno);
        save.copyFrom(written.get());
        save.commit(identity_);
    } catch (const os::SaveError& e) {
        throw AutomationError(e.message());
    }
    changed_ = false;
    return checked;
}

void OfficeDocument::storeTo(const fs::path& target) {
    session_->call([&] {
        const Reference<css::frame::XStorable> storable(model_, UNO_QUERY_THROW);
        // Filter options are passed only where the load had them (text encodings) and the
        // format stays.
        const bool options = !filterOptions_.isEmpty() && storeFilter_ == filter_;
        const PropertyValue args[] = {
            property("FilterName", storeFilter_), property("Overwrite", true),
            property("GenerateThumbnail", false), property("FilterOptions", filterOptions_)};
        try {
            storable->storeToURL(urlOf(target), Sequence<PropertyValue>(args, options ? 4 : 3));
        } catch (const css::task::ErrorCodeIOException& e) {
            os::log::problem(u"保存できません：" + os::fromNativePath(path_) + u"：" +
                             toU16(e.Message));
            throw AutomationError(storeFailureReason(e.ErrCode));
        } catch (const css::io::IOException& e) {
            os::log::problem(u"保存できません：" + os::fromNativePath(path_) + u"：" +
                             toU16(e.Message));
            throw AutomationError(std::u16string(messages::kNotWritten));
        }
        Reference<css::util::XModifiable>(model_, UNO_QUERY_THROW)->setModified(false);
    });
}

void OfficeDocument::checkSavedFile(const fs::path& saved) {
    const bool options = !filterOptions_.isEmpty() && storeFilter_ == filter_;
    const auto lost = callReplacer(replacer::CheckSavedFile{urlOf(saved), storeFilter_,
                                                            options ? filterOptions_ : OUString()})
                          .lost;
    if (lost.empty()) {
        os::log::detail(u"保存した内容を読み戻して確かめました：" + os::fromNativePath(path_));
        return;
    }
    for (const auto& region : lost) {
        for (const auto& text : region.texts) {
            os::log::problem(u"保存すると失われる内容（" + region.region + u"）：" +
                             os::fromNativePath(path_) + u"：" + text);
        }
    }
    // The first text lost, on one line and shortened, says enough to find it; the log has every
    // one whole.
    std::u16string excerpt;
    for (const char16_t c : lost[0].texts[0])
        excerpt += c == u'\n' || c == u'\r' ? u' ' : c;
    while (!excerpt.empty() && excerpt.back() == u' ')
        excerpt.pop_back();
    if (excerpt.size() > 20)
        excerpt = excerpt.substr(0, 20) + u"…";
    throw AutomationError(messages::contentWouldBeLost(lost[0].region, excerpt));
}

void OfficeDocument::discard() {
    checkUsable();
    closed_ = true;
    session_->documentClosed();
    release();
}

void OfficeDocument::release() noexcept {
    if (released_)
        return;
    const bool sameOffice = usable();
    released_ = true;
    if (sameOffice) {
        try {
            // The replacer holds the document's paragraphs: it goes first.
            replacer_.clear();
            session_->call([&] { closeModel(model_); });
        } catch (const AutomationError&) {
            // Its office is gone or ending; the document went with it.
        }
    }
    lock_.reset();
}

}  // namespace quorvane::automation::office
