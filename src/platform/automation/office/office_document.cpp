#include "platform/automation/office/office_document.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <set>
#include <string>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/document/BrokenPackageRequest.hpp>
#include <com/sun/star/document/LockedDocumentRequest.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include "platform/file_system.h"

namespace quorvane::platform::automation::office {

namespace fs = std::filesystem;
using css::beans::PropertyValue;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

struct OfficeDocument::Loaded {
    Reference<css::frame::XModel> model;
    OUString filter;
    OUString filterOptions;
};

namespace {

constexpr std::u16string_view kReadOnly = u"読み取り専用のため保存できません";

// Answers every question of the office by aborting, so that no dialog can wait for a user who
// is not there, and remembers what was asked to tell the user why the load failed.
class AbortingHandler final : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
  public:
    void SAL_CALL handle(const Reference<css::task::XInteractionRequest>& request) override {
        const Any what = request->getRequest();
        if (what.isExtractableTo(cppu::UnoType<css::task::PasswordRequest>::get())) {
            reason_ = u"パスワードで保護されています";
        } else if (what.isExtractableTo(
                       cppu::UnoType<css::document::LockedDocumentRequest>::get())) {
            reason_ = u"ほかのワープロで開かれているため開けません";
        } else if (what.isExtractableTo(
                       cppu::UnoType<css::document::BrokenPackageRequest>::get())) {
            reason_ = u"文書が壊れているため読み込めません";
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

fs::path lockFileOf(const fs::path& path) {
    return path.parent_path() / (".~lock." + path.filename().string() + "#");
}

bool isPlainTextFilter(const OUString& filter) {
    return filter.startsWith("Text");
}

std::u16string describeFilter(const OUString& filter) {
    if (filter.isEmpty())
        return u"不明";
    if (isPlainTextFilter(filter))
        return u"テキスト";
    return toU16(filter);
}

constexpr std::string_view kPendingPrefix = ".~quorvane-";

// A program of ours killed in the middle of a save leaves its pending file behind. Such files of
// processes that are gone are removed, once per folder, before we first save into it.
void removeAbandonedPendingFiles(const fs::path& folder) {
    static std::set<fs::path> swept;
    if (!swept.insert(folder).second)
        return;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kPendingPrefix))
            continue;
        const char* first = name.data() + kPendingPrefix.size();
        const char* last = name.data() + name.size();
        pid_t owner = 0;
        const auto [end, failed] = std::from_chars(first, last, owner);
        if (failed != std::errc{} || end == first || end == last || *end != '-')
            continue;
        if (owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        std::error_code ignored;
        fs::remove(entry.path(), ignored);
    }
}

// A file beside the document that receives the new version; it replaces the document only once
// it is complete, and is removed otherwise.
class PendingFile final {
  public:
    explicit PendingFile(const fs::path& document) {
        removeAbandonedPendingFiles(document.parent_path());
        static std::atomic<int> counter{0};
        path_ = document.parent_path() /
                (std::string(kPendingPrefix) + std::to_string(::getpid()) + "-" +
                 std::to_string(++counter) + "-" + document.filename().string());
        const int fd = ::open(path_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            throw AutomationError(u"フォルダーに書き込めないため保存できません");
        ::close(fd);
    }
    ~PendingFile() {
        if (!committed_)
            ::unlink(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const fs::path& path() const noexcept { return path_; }

    // Takes over the document's permissions and owner, then its name.
    void replace(const fs::path& document) {
        struct stat st {};
        if (::stat(document.c_str(), &st) == 0) {
            ::chmod(path_.c_str(), st.st_mode & 07777);
            // Only possible for root; anyone else keeps the file as their own, which is what
            // writing a file means for them.
            if (::chown(path_.c_str(), st.st_uid, st.st_gid) != 0) {
                ::chmod(path_.c_str(), st.st_mode & 0777);
            }
        }
        // On disk before it takes the document's name: a crash of the machine must not leave
        // an empty file where the document was.
        if (const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        if (::rename(path_.c_str(), document.c_str()) != 0) {
            throw AutomationError(u"保存できませんでした（ファイルを置き換えられません）");
        }
        committed_ = true;
    }

  private:
    fs::path path_;
    bool committed_ = false;
};

OUString argument(const Sequence<PropertyValue>& args, const char* name) {
    for (const auto& a : args) {
        if (a.Name.equalsAscii(name)) {
            OUString value;
            a.Value >>= value;
            return value;
        }
    }
    return {};
}

}  // namespace

std::shared_ptr<OfficeDocument> OfficeDocument::open(std::shared_ptr<OfficeSession> session,
                                                     std::u16string_view path) {
    std::error_code error;
    const fs::path file = fs::canonical(toNativePath(path), error);
    if (error || !fs::is_regular_file(file))
        throw AutomationError(u"ファイルが見つかりません");
    if (fs::file_size(file, error) == 0) {
        throw AutomationError(u"空のファイルのため文書として読み込めません");
    }
    if (readOnly(file))
        throw AutomationError(std::u16string(kReadOnly));
    if (fs::exists(lockFileOf(file))) {
        throw AutomationError(u"ほかのワープロで開かれているため開けません");
    }
    if (auto kept = session->reopen(file)) {
        session->documentOpened();
        return std::shared_ptr<OfficeDocument>(
            new OfficeDocument(std::move(session), file,
                               Loaded{std::move(kept->model), std::move(kept->filter),
                                      std::move(kept->filterOptions)}));
    }

    session->prepareForDocument();
    const rtl::Reference<AbortingHandler> handler(new AbortingHandler);
    const Loaded loaded = session->call([&] {
        const Reference<css::frame::XComponentLoader> loader(session->desktop(), UNO_QUERY_THROW);
        const PropertyValue args[] = {
            property("Hidden", true),
            property("ReadOnly", false),
            property("MacroExecutionMode", css::document::MacroExecMode::NEVER_EXECUTE),
            property("UpdateDocMode", css::document::UpdateDocMode::NO_UPDATE),
            property("RepairPackage", false),
            property("InteractionHandler",
                     Reference<css::task::XInteractionHandler>(handler.get()))};
        Loaded result;
        try {
            result.model.set(loader->loadComponentFromURL(urlOf(file), "_blank", 0,
                                                          Sequence<PropertyValue>(args, 6)),
                             UNO_QUERY);
        } catch (const css::lang::IllegalArgumentException&) {
            // Type detection found nothing it can load.
        }
        if (!result.model.is())
            return result;
        const auto loadArgs = result.model->getArgs();
        result.filter = argument(loadArgs, "FilterName");
        result.filterOptions = argument(loadArgs, "FilterOptions");
        const Reference<css::lang::XServiceInfo> info(result.model, UNO_QUERY);
        const bool writer = info.is() && info->supportsService("com.sun.star.text.TextDocument") &&
                            !info->supportsService("com.sun.star.text.WebDocument") &&
                            !info->supportsService("com.sun.star.text.GlobalDocument");
        // Plain text loads as a word-processing document too, and saving it would flatten a
        // document that only failed to load into text: only .txt files are taken as text.
        const bool text = isPlainTextFilter(result.filter);
        const bool txtName = file.extension() == ".txt" || file.extension() == ".TXT";
        if (!writer || (text && !txtName)) {
            closeModel(result.model);
            throw AutomationError(u"文書として読み込めません（形式：" +
                                  describeFilter(result.filter) + u"）");
        }
        return result;
    });
    if (!loaded.model.is()) {
        throw AutomationError(handler->reason().empty()
                                  ? u"文書が壊れているか対応していない形式のため読み込めません"
                                  : handler->reason());
    }
    session->documentOpened();
    return std::shared_ptr<OfficeDocument>(new OfficeDocument(std::move(session), file, loaded));
}

OfficeDocument::OfficeDocument(std::shared_ptr<OfficeSession> session, fs::path path, Loaded loaded)
    : session_(std::move(session)),
      generation_(session_->generation()),
      path_(std::move(path)),
      model_(std::move(loaded.model)),
      filter_(std::move(loaded.filter)),
      filterOptions_(std::move(loaded.filterOptions)) {}

OfficeDocument::~OfficeDocument() {
    if (closed_)
        return;
    try {
        discard();
    } catch (const AutomationError&) {
        // Its office is gone or ending; the document went with it.
    }
}

void OfficeDocument::checkUsable() const {
    if (closed_)
        throw AutomationError(u"文書は既に閉じられています");
    if (!session_->running() || session_->generation() != generation_) {
        throw AutomationError(session_->lossReason().empty() ? u"ワープロが終了しています"
                                                             : session_->lossReason());
    }
}

void OfficeDocument::close() {
    checkUsable();
    struct Release {
        OfficeDocument& document;
        ~Release() {
            if (!document.closed_) {
                try {
                    document.discard();
                } catch (const AutomationError&) {
                    // The save failure is the one to report.
                }
            }
        }
    } release{*this};
    save();
    // Kept loaded for the next pair, which opens the same file again; only a document whose
    // file we can recognise later is worth keeping.
    const auto identity = FileIdentity::of(path_);
    if (!identity) {
        discard();
        return;
    }
    closed_ = true;
    session_->documentClosed();
    session_->keep({path_, *identity, model_, filter_, filterOptions_});
}

void OfficeDocument::save() {
    const bool modified = call([&] {
        const Reference<css::util::XModifiable> modifiable(model_, UNO_QUERY_THROW);
        return bool(modifiable->isModified());
    });
    if (!modified)
        return;
    if (readOnly(path_))
        throw AutomationError(std::u16string(kReadOnly));
    PendingFile pending(path_);
    call([&] {
        const Reference<css::frame::XStorable> storable(model_, UNO_QUERY_THROW);
        const PropertyValue args[] = {property("FilterName", filter_), property("Overwrite", true),
                                      property("GenerateThumbnail", false),
                                      property("FilterOptions", filterOptions_)};
        // Filter options are passed only where the load had them (text encodings).
        const sal_Int32 count = filterOptions_.isEmpty() ? 3 : 4;
        storable->storeToURL(urlOf(pending.path()), Sequence<PropertyValue>(args, count));
        // The file now holds this state: the next pair saves only what it changes itself.
        Reference<css::util::XModifiable>(model_, UNO_QUERY_THROW)->setModified(false);
    });
    pending.replace(path_);
}

void OfficeDocument::discard() {
    const bool sameOffice = session_->running() && session_->generation() == generation_;
    closed_ = true;
    if (!sameOffice)
        return;
    session_->documentClosed();
    session_->call([&] { closeModel(model_); });
}

}  // namespace quorvane::platform::automation::office
