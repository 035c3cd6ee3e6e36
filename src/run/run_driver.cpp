#include "run/run_driver.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "automation/automation_error.h"
#include "automation/word_model.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"
#include "run/backup_folder.h"
#include "run/copy_staging.h"
#include "run/document_hand_out.h"
#include "run/run_error.h"
#include "run/run_messages.h"

namespace quorvane::run {

namespace word = automation::word;
using os::kPathSeparator;

// The word processor of one run, quit on every way out of the run so that none is left running.
class RunDriver::RunApplication final {
  public:
    explicit RunApplication(automation::ObjectFactory& factory)
        : application_(word::Application::create(factory)) {}
    RunApplication(const RunApplication&) = delete;
    RunApplication& operator=(const RunApplication&) = delete;
    ~RunApplication() {
        if (quit_)
            return;
        try {
            application_.quit();
        } catch (const automation::AutomationError&) {
            // Already unwinding from the error that matters; the backend ends its process itself.
        }
    }

    const word::Application& operator*() const noexcept { return application_; }
    void hide() const { application_.hide(); }
    void quit() {
        application_.quit();
        quit_ = true;
    }

  private:
    word::Application application_;
    bool quit_ = false;
};

namespace {

DocumentResult listed(std::u16string path) {
    DocumentResult document;
    document.source = std::move(path);
    return document;
}

// Folds what each pair did to one document into its result.
class DocumentTally final {
  public:
    explicit DocumentTally(DocumentResult& result) : result_(result) {}

    void add(std::size_t pairNumber, const ReplacementPair& pair, const PassResult& pass) {
        ++applied_;
        labels_.push_back(label(pairNumber, pair));
        opened_ = opened_ || pass.opened;
        if (!pass.opened || !pass.saved) {
            missed_.push_back(labels_.back());
            const std::u16string failure = pass.failure.value_or(u"");
            if (reasons_.empty() || reasons_.back() != failure)
                reasons_.push_back(failure);
            notSaved_ = notSaved_ || pass.opened;
            return;
        }
        found_ = found_ || pass.found;
        for (RegionCounts* counts : {&result_.counts, &result_.countsByPair[pairNumber - 1]}) {
            addCount(counts->body, pass.counts.body);
            addCount(counts->textBoxes, pass.counts.textBoxes);
            addCount(counts->headersAndFooters, pass.counts.headersAndFooters);
        }
        if (pass.notice && std::find(result_.notices.begin(), result_.notices.end(),
                                     *pass.notice) == result_.notices.end()) {
            result_.notices.push_back(*pass.notice);
        }
    }

    // Whether the word processor holds the document, so that it must be told the run is done
    // with it.
    bool opened() const noexcept { return opened_; }

    // A pair that was not tried: the document was given up before it.
    void skip(std::size_t pairNumber, const ReplacementPair& pair) {
        ++applied_;
        labels_.push_back(label(pairNumber, pair));
        missed_.push_back(labels_.back());
    }

    // The changes of every pair were lost with the save: none of them reached the file.
    void unsaved(const std::u16string& failure) {
        missed_ = labels_;
        if (reasons_.empty() || reasons_.back() != failure)
            reasons_.push_back(failure);
        notSaved_ = true;
        result_.counts = {};
        result_.countsByPair = {};
        result_.notices.clear();
    }

    void finish() {
        if (missed_.empty()) {
            result_.outcome = found_ ? Outcome::Replaced : Outcome::Unchanged;
            // Nothing was replaced anywhere, whether or not a region was searched.
            if (!found_) {
                result_.counts = {};
                result_.countsByPair = {};
            }
            return;
        }
        result_.outcome = notSaved_ ? Outcome::NotSaved : Outcome::NotOpened;
        std::u16string reason;
        for (const auto& r : reasons_)
            reason += (reason.empty() ? u"" : u"／") + r;
        if (missed_.size() < applied_) {
            // Some pairs reached the document: the user must know which to apply again.
            std::u16string labels;
            for (std::size_t i = 0; i < missed_.size(); ++i)
                labels += (i ? u"、" : u"") + missed_[i];
            reason += messages::pairsNotApplied(labels);
        }
        result_.reason = std::move(reason);
    }

  private:
    static std::u16string label(std::size_t pairNumber, const ReplacementPair& pair) {
        return messages::pairLabel(pairNumber, pair.find, pair.replacement);
    }
    static void addCount(std::optional<std::int32_t>& total, std::optional<std::int32_t> more) {
        if (more)
            total = total.value_or(0) + *more;
    }

    DocumentResult& result_;
    std::size_t applied_ = 0;
    bool notSaved_ = false;
    bool found_ = false;
    bool opened_ = false;
    std::vector<std::u16string> labels_;
    std::vector<std::u16string> missed_;
    std::vector<std::u16string> reasons_;
};

using FindTexts = std::array<std::u16string, RunRequest::kPairs>;

// Whether no later body pass can rewrite a find text.
bool settled(const RunRequest& request, const FindTexts& findTexts,
             const std::array<bool, RunRequest::kPairs>& converted) {
    if (request.distinguishWidths || !request.regions.body)
        return true;
    for (std::size_t j = 0; j < RunRequest::kPairs; ++j) {
        if (!isBlank(findTexts[j]) && !converted[j])
            return false;
    }
    return true;
}

// A sub-folder that could not be listed: it stands in the list, not processed, for the user to
// see.
bool unreadable(const RunResult& result, std::int32_t index) {
    return result.documents[static_cast<std::size_t>(index)].outcome == Outcome::NotOpened;
}

// Announces the document at index and stages it. False when its copy failed, which ends the run:
// the document is marked so.
bool stageNext(RunResult& result, std::int32_t index, const CopyStaging& staging, bool dryRun,
               RunProgress* progress) {
    DocumentResult& document = result.documents[static_cast<std::size_t>(index)];
    if (progress) {
        progress->documentStarted(index, static_cast<std::int32_t>(result.documents.size()),
                                  document.source);
    }
    // A dry run makes no copy: it names the file a run would edit.
    const CopyStaging::Staged edited =
        dryRun ? CopyStaging::Staged{os::Status::done(), staging.destinationOf(document.source)}
               : staging.stage(document.source);
    if (!edited.status) {
        document.outcome = Outcome::CopyFailed;
        document.reason = edited.status.reason();
        os::log::problem(u"コピーできませんでした：" + document.source + u"：" + document.reason);
        result.endedByCopyFailure = true;
        return false;
    }
    document.edited = edited.path;
    return true;
}

// What the passes will search the next document for, each pair as the run's state has it.
std::vector<SearchedText> searchedTexts(const RunRequest& request, const DocumentPasses& passes,
                                        const FindTexts& findTexts) {
    std::vector<SearchedText> searched;
    for (const auto& find : findTexts) {
        if (isBlank(find))
            continue;
        // Text boxes, headers and footers are searched without regard to case.
        if (request.regions.textBoxes || request.regions.headersAndFooters)
            searched.push_back({find, false});
        if (!request.regions.body)
            continue;
        if (request.distinguishWidths) {
            searched.push_back({find, request.matchCase});
            continue;
        }
        const std::u16string full = passes.fullWidthForm(find);
        searched.push_back({full, request.matchCase});
        searched.push_back({passes.halfWidthForm(full), request.matchCase});
    }
    return searched;
}

// What every document of a run is processed with, whichever word processor takes it.
struct RunContext {
    const RunRequest& request;
    const MatchScreen& screen;
    const CopyStaging& staging;
    BackupFolder* backups;
};

// The file the word processor opens: the one the run edits, or, in a dry run, which makes no
// copy, the document itself.
const std::u16string& openedPath(const RunRequest& request, const DocumentResult& document) {
    return request.dryRun ? document.source : document.edited;
}

// A document that cannot hold a match is not opened: it is Unchanged, and the find texts go on
// as its body pass would have left them.
bool skipWithoutMatch(const RunRequest& request, const DocumentPasses& passes,
                      const MatchScreen& screen, FindTexts& findTexts,
                      std::array<bool, RunRequest::kPairs>& converted, DocumentResult& document) {
    const std::u16string& path = openedPath(request, document);
    if (!request.skipDocumentsWithoutMatch ||
        screen(path, searchedTexts(request, passes, findTexts))) {
        return false;
    }
    for (std::size_t j = 0; j < RunRequest::kPairs; ++j) {
        if (isBlank(findTexts[j]) || !request.regions.body || request.distinguishWidths)
            continue;
        findTexts[j] = passes.halfWidthForm(passes.fullWidthForm(findTexts[j]));
        converted[j] = true;
    }
    document.outcome = Outcome::Unchanged;
    document.skipped = true;
    os::log::detail(u"検索文字列を含まないため読み込みませんでした：" + path);
    return true;
}

// Every pair on one staged document, then the word processor is told the run is done with it.
// Returns whether the word processor was lost meanwhile, taking with it every change it had not
// written: the document is then as it was on disk, and every pair is counted as not applied.
bool applyPairs(const RunRequest& request, DocumentPasses& passes, FindTexts& findTexts,
                std::array<bool, RunRequest::kPairs>& converted, DocumentResult& document) {
    document.outcome = Outcome::NotReached;
    document.reason.clear();
    document.counts = {};
    document.countsByPair = {};
    document.notices.clear();
    const std::u16string& path = openedPath(request, document);
    DocumentTally tally(document);
    bool lost = false;
    for (std::size_t j = 0; j < RunRequest::kPairs; ++j) {
        if (isBlank(findTexts[j]))
            continue;
        if (lost) {
            tally.skip(j + 1, request.pairs[j]);
            continue;
        }
        const PassResult pass = passes.replaceInDocument(
            path, findTexts[j], u"「" + request.pairs[j].replacement + u"」");
        converted[j] = converted[j] || pass.widthsConverted;
        tally.add(j + 1, request.pairs[j], pass);
        // The pairs after it would reach the file without the ones before.
        lost = pass.lost;
    }
    if (tally.opened() || lost) {
        const auto finished = passes.finishDocument(path);
        if (finished.failure)
            tally.unsaved(*finished.failure);
        document.checkedAfterSave = finished.checked;
        lost = lost || finished.lost;
    }
    tally.finish();
    return lost;
}

// Whether the originals of the run's documents are kept before they are written.
bool backsUp(const RunContext& run) {
    return run.backups && run.request.mode == RunRequest::Mode::EditOriginals &&
           !run.request.dryRun;
}

// Keeps the original of a document edited in place before the word processor may write it.
// False when it could not be kept: the document is then left alone.
bool keepOriginal(const RunContext& run, DocumentResult& document) {
    if (!backsUp(run))
        return true;
    try {
        run.backups->keep(document.source, run.staging.relativePath(document.source));
        return true;
    } catch (const os::Error& e) {
        document.outcome = Outcome::NotOpened;
        document.reason = messages::originalNotKept(e.message());
        os::log::problem(document.reason + u"：" + document.source);
        return false;
    }
}

// A dry run opens the original read-only, which nothing refuses; the run in place it foresees
// would have to write it, and is refused. (The copies a run makes are always writable.)
bool refusedAsReadOnly(const RunRequest& request, DocumentResult& document) {
    if (!request.dryRun || request.mode != RunRequest::Mode::EditOriginals)
        return false;
    try {
        if ((os::fileAttributes(document.source) & os::kAttributeReadOnly) == 0)
            return false;
    } catch (const os::FileSystemError&) {
        // Opening it says what is wrong with it.
        return false;
    }
    document.outcome = Outcome::NotOpened;
    document.reason = messages::notOpened(messages::kOriginalReadOnly);
    os::log::problem(u"処理できませんでした：" + document.source + u"：" + document.reason);
    return true;
}

// Every pair on one staged document. A document whose word processor was lost under it is tried
// once more from the start, on the one that takes its place: it gets every pair or none.
void processDocument(const RunContext& run, DocumentPasses& passes, FindTexts& findTexts,
                     std::array<bool, RunRequest::kPairs>& converted, DocumentResult& document) {
    const RunRequest& request = run.request;
    if (skipWithoutMatch(request, passes, run.screen, findTexts, converted, document) ||
        refusedAsReadOnly(request, document) || !keepOriginal(run, document)) {
        return;
    }
    const std::u16string& path = openedPath(request, document);
    if (applyPairs(request, passes, findTexts, converted, document)) {
        os::log::problem(u"ワープロを失ったため、最初からやり直します：" + path);
        applyPairs(request, passes, findTexts, converted, document);
    }
    if (backsUp(run))
        document.backup = run.backups->done(document.source);
    if (document.processed()) {
        os::log::detail((request.dryRun ? u"数えました：" : u"処理しました：") + path);
    } else {
        os::log::problem(u"処理できませんでした：" + path + u"：" + document.reason);
    }
}

}  // namespace

bool RunDriver::runInParallel(const RunRequest& request, const CopyStaging& staging,
                              const RunApplication& application, const FindTexts& findTexts,
                              std::int32_t first, RunResult& result, RunProgress* progress) {
    const auto count = static_cast<std::int32_t>(result.documents.size());
    DocumentHandOut handOut;
    const RunContext context{request, screen_, staging, backups_};
    const auto work = [&](const word::Application& word) {
        DocumentPasses passes(request, word, widths_);
        FindTexts texts = findTexts;
        std::array<bool, RunRequest::kPairs> converted{};
        while (DocumentResult* document = handOut.take()) {
            try {
                processDocument(context, passes, texts, converted, *document);
            } catch (const std::exception&) {
                handOut.fail();
                return;
            }
        }
    };
    // Another word processor joins once it has started, while the run's own already works; it is
    // used and quit on the thread that started it.
    const auto startAndWork = [&] {
        std::optional<RunApplication> more;
        try {
            more.emplace(factory_);
        } catch (const automation::AutomationError& e) {
            // Fewer word processors do the same work.
            os::log::problem(u"ワープロを追加で起動できませんでした：" + e.message());
            return;
        } catch (const std::exception&) {
            handOut.fail();
            return;
        }
        work(**more);
    };
    bool copyFailure = false;
    {
        // The workers are told to finish before they are joined.
        struct Workers {
            DocumentHandOut& handOut;
            std::vector<std::jthread> threads;
            ~Workers() { handOut.close(); }
        } workers{handOut, {}};
        workers.threads.emplace_back(work, std::cref(*application));
        for (int k = 1; k < std::min(request.offices, count - first); ++k)
            workers.threads.emplace_back(startAndWork);
        for (std::int32_t i = first; i < count && handOut.waitForFreeWorker(); ++i) {
            if (unreadable(result, i))
                continue;
            if (!stageNext(result, i, staging, request.dryRun, progress)) {
                copyFailure = true;
                break;
            }
            handOut.give(result.documents[static_cast<std::size_t>(i)]);
        }
    }
    handOut.rethrowFailure();
    return copyFailure;
}

RunResult RunDriver::endByCopyFailure(RunApplication& application, RunResult result) {
    application.hide();
    application.quit();
    messages_.show(kCopyFailedText, kTitle, os::MessageBox::kCritical);
    return result;
}

std::vector<ListedDocument> documentsInFolder(const std::u16string& folder, bool recursive,
                                              bool top) {
    std::vector<std::u16string> names;
    std::vector<std::u16string> folders;
    try {
        os::FolderListing listing(folder);
        for (std::u16string name = listing.next(); !name.empty(); name = listing.next())
            names.push_back(std::move(name));
        if (recursive)
            folders = os::subFolders(folder);
    } catch (const os::Error& e) {
        if (top)
            throw;
        // One sub-folder that cannot be read is no reason to leave the others.
        return {{folder, messages::notOpened(e.message())}};
    }
    std::vector<ListedDocument> documents;
    if (recursive)
        std::sort(names.begin(), names.end());
    for (const auto& name : names)
        documents.push_back({folder + kPathSeparator + name, {}});
    std::sort(folders.begin(), folders.end());
    for (const auto& sub : folders) {
        for (auto& document : documentsInFolder(folder + kPathSeparator + sub, true, false))
            documents.push_back(std::move(document));
    }
    return documents;
}

RunDriver::RunDriver(os::MessageBox& messages, automation::ObjectFactory& factory,
                     WidthForms widths, MatchScreen screen)
    : messages_(messages),
      factory_(factory),
      widths_(std::move(widths)),
      screen_(std::move(screen)) {}

namespace {

// The documents of the dropped path, in the order the run takes them. Throws os::Error when the
// path cannot be listed.
void listDocuments(const RunRequest& request, const CopyStaging& staging, bool isFolder,
                   RunResult& result) {
    if (!isFolder) {
        result.documents.push_back(listed(result.path));
        return;
    }
    // Made before the listing, and also when the folder turns out to hold no files.
    if (!request.dryRun)
        staging.createDestinationFolder();
    for (auto& document : documentsInFolder(result.path, request.recursive)) {
        result.documents.push_back(listed(std::move(document.path)));
        if (document.failure) {
            result.documents.back().outcome = Outcome::NotOpened;
            result.documents.back().reason = std::move(*document.failure);
        }
    }
}

}  // namespace

RunResult RunDriver::run(const RunRequest& request, const std::u16string& droppedPath,
                         RunProgress* progress) {
    RunResult result;
    result.path = droppedPath;
    // A dry run edits nothing: there is nothing to confirm.
    if (request.mode == RunRequest::Mode::EditOriginals && !request.dryRun &&
        messages_.show(kConfirmText, kTitle, os::MessageBox::kYesNo | os::MessageBox::kQuestion) ==
            os::MessageBox::kNo) {
        result.declined = true;
        return result;
    }
    // The find texts of this run: the body pass may rewrite them to their width-converted form,
    // which the later documents of the run then receive.
    std::array<std::u16string, RunRequest::kPairs> findTexts;
    for (std::size_t j = 0; j < RunRequest::kPairs; ++j)
        findTexts[j] = request.pairs[j].find;

    bool pathRead = false;
    try {
        // A directory is a folder whatever else its attributes say (read-only, hidden, ...).
        const bool isFolder = (os::fileAttributes(droppedPath) & os::kAttributeDirectory) != 0;
        const CopyStaging staging(request, droppedPath, isFolder);
        listDocuments(request, staging, isFolder, result);
        pathRead = true;
        os::log::detail((request.dryRun ? u"試行（保存しません）：" : u"実行：") + droppedPath +
                        u"（文書 " + os::fromUtf8(std::to_string(result.documents.size())) +
                        u" 件）");

        RunApplication application(factory_);
        DocumentPasses passes(request, *application, widths_);
        const RunContext context{request, screen_, staging, backups_};
        const auto count = static_cast<std::int32_t>(result.documents.size());
        std::array<bool, RunRequest::kPairs> converted{};
        std::int32_t i = 0;
        for (; i < count; ++i) {
            // Once the find texts are settled, the documents left may go to several word
            // processors: each then gets what it would have got in turn.
            if (request.offices > 1 && count - i > 1 && settled(request, findTexts, converted))
                break;
            if (unreadable(result, i))
                continue;
            if (!stageNext(result, i, staging, request.dryRun, progress))
                return endByCopyFailure(application, std::move(result));
            processDocument(context, passes, findTexts, converted,
                            result.documents[static_cast<std::size_t>(i)]);
        }
        if (i < count &&
            runInParallel(request, staging, application, findTexts, i, result, progress)) {
            return endByCopyFailure(application, std::move(result));
        }
        application.quit();
    } catch (const os::Error& e) {
        RunError error(std::move(result), e.message(), !pathRead);
        os::log::problem(error.message());
        throw error;
    }
    return result;
}

}  // namespace quorvane::run
