#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/task/XJob.hpp>

#include "automation/office/document_lock.h"
#include "automation/office/document_structure.h"
#include "automation/office/office_session.h"
#include "automation/office/replacer_codec.h"
#include "os/file_identity.h"

namespace quorvane::automation::office {

// A word-processing document loaded in the office. It stays loaded across the closes of the
// run's pairs and is saved in its own format once, when the run finishes it; a document whose
// office was lost refuses every call.
class OfficeDocument final : public std::enable_shared_from_this<OfficeDocument> {
  public:
    // Throws AutomationError with the reason when the file is not a document we may edit.
    // A document opened read-only takes no lock and is never written: its changes can only be
    // discarded. It is refused where a writable one would be, so that a dry run tells what a run
    // would meet, but for a file that may not be written: a dry run of copies foresees a run that
    // writes only its own copies.
    static std::shared_ptr<OfficeDocument> open(const std::shared_ptr<OfficeSession>& session,
                                                std::u16string_view path, bool readOnly = false);
    // A document that was never closed is closed without saving.
    ~OfficeDocument();
    OfficeDocument(const OfficeDocument&) = delete;
    OfficeDocument& operator=(const OfficeDocument&) = delete;

    template <typename Call>
    decltype(auto) call(Call&& body) {
        checkUsable();
        return session_->call(std::forward<Call>(body));
    }

    const css::uno::Reference<css::frame::XModel>& model() const noexcept { return model_; }
    const std::filesystem::path& path() const noexcept { return path_; }
    // Its shape texts and sections, read once: replacing text adds no shape or page style, and
    // each pair would read them again. Office calls.
    const std::vector<TextRef>& shapeTexts();
    const std::vector<SectionTexts>& sectionTexts();
    // Replaces every occurrence in text, one of its regions, the way the word processor's Find
    // does it, and returns how many there were. Throws AutomationError when the office fails.
    int replaceIn(const TextRef& text, std::u16string_view find, std::u16string_view replacement,
                  bool matchCase);

    // A replacement was made: the document has changes to write.
    void noteChanged() noexcept { changed_ = true; }
    // Changes not yet written, in a document still loaded.
    bool changed() const noexcept { return changed_ && !released_; }
    // Loaded in the office that runs now.
    bool usable() const noexcept;
    // The file is as it was when the document was last closed.
    bool unchangedOnDisk() const;

    // The core is done with it for this pair; it stays loaded, its changes held back, unless the
    // file cannot be recognised later, when they are written at once. Returns what the user
    // should know of the save to come (a save in another format), or an empty text.
    std::u16string keepOrStore();
    // Writes the changes, if any, atomically. Returns whether the file written was read back and
    // held all the document's text. Throws AutomationError when they cannot be written, or would
    // lose text.
    bool store();
    // Closes it in the office without saving.
    void release() noexcept;
    // The core is done with it and drops its changes: it is closed without saving. Throws
    // AutomationError when its office was lost.
    void discard();

    struct Loaded;

  private:
    OfficeDocument(std::shared_ptr<OfficeSession> session, std::filesystem::path path,
                   Loaded loaded, std::optional<DocumentLock> lock,
                   std::optional<os::FileIdentity> identity, bool readOnly);
    void checkUsable() const;
    [[noreturn]] void throwUnusable() const;
    // Fills shapeTexts_, sectionTexts_ and regionTexts_. Office calls.
    void readRegions();
    std::optional<std::size_t> findRegionText(const TextRef& text) const;
    // Has the document's job in the office carry out action, and returns its answer.
    template <typename Action>
    typename Action::Answer callReplacer(const Action& action);
    // Has the office write the document to target. Office calls.
    void storeTo(const std::filesystem::path& target);
    // Reads the file the document was just written to back, and throws AutomationError naming
    // what it lost when it holds less text than the document. Office calls.
    void checkSavedFile(const std::filesystem::path& saved);
    // Turns the input fields that a .docx would garble into content controls; what the user
    // should know of it, or an empty text. Office calls.
    std::u16string keepInputFieldsWhole();

    std::shared_ptr<OfficeSession> session_;
    std::uint64_t generation_;
    std::filesystem::path path_;
    css::uno::Reference<css::frame::XModel> model_;
    // The format the file is in, and the one a save writes: another one when the office cannot
    // write the file's own.
    OUString filter_;
    OUString filterOptions_;
    OUString storeFilter_;
    std::u16string storeNotice_;
    // It had input fields when it was loaded.
    bool inputFields_ = false;
    // Held from the load until the document is released.
    std::optional<DocumentLock> lock_;
    // The file as it was loaded: a save replaces only that.
    std::optional<os::FileIdentity> identity_;
    std::optional<std::vector<TextRef>> shapeTexts_;
    std::optional<std::vector<SectionTexts>> sectionTexts_;
    // The shape and section texts, each once.
    std::vector<TextRef> regionTexts_;
    // Which of regionTexts_ may hold a find text, as last asked.
    struct Screen {
        std::u16string find;
        bool matchCase = false;
        std::vector<bool> mayMatch;
    };
    std::optional<Screen> screen_;
    // The replacer in the office that knows this document's paragraphs.
    css::uno::Reference<css::task::XJob> replacer_;
    bool readOnly_ = false;
    bool changed_ = false;
    bool closed_ = false;
    bool released_ = false;
};

// Releases a document on every way out of a scope: after its last store, whether that threw or
// not.
class ReleasedOnExit final {
  public:
    explicit ReleasedOnExit(OfficeDocument& document) noexcept : document_(document) {}
    ~ReleasedOnExit() { document_.release(); }
    ReleasedOnExit(const ReleasedOnExit&) = delete;
    ReleasedOnExit& operator=(const ReleasedOnExit&) = delete;

  private:
    OfficeDocument& document_;
};

}  // namespace quorvane::automation::office
