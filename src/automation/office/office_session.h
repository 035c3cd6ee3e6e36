#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/task/XJob.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <rtl/ustring.hxx>

#include "automation/automation_error.h"
#include "automation/office/office_options.h"
#include "automation/office/office_process.h"
#include "automation/office/uno_support.h"
#include "automation/office/warm_offices.h"

namespace quorvane::automation::office {

class OfficeDocument;

// The office of one application object over its lifetime: started with the session, replaced
// when it dies, hangs or has served enough documents, ended at Quit.
class OfficeSession final {
  public:
    // Throws AutomationError when the office cannot start.
    // warm, when given, lends an office that waits for a run and takes it back at Quit.
    OfficeSession(OfficeOptions options, std::shared_ptr<WarmOffices> warm = nullptr);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Runs one office call under the watchdog. A UNO failure becomes an AutomationError with a
    // plain reason (the office's own message goes to the log); when the office died or hung it is
    // killed first, and every document it held is lost.
    template <typename Call>
    decltype(auto) call(Call&& body) {
        OfficeProcess& process = this->process();
        try {
            OfficeProcess::Watch watch(process, options_.callTimeout);
            return std::forward<Call>(body)();
        } catch (const css::lang::DisposedException&) {
            throwLost();
        } catch (const css::uno::Exception& e) {
            throwFailure(e);
        }
    }

    // The office for the next document to be opened, started or renewed as needed.
    void prepareForDocument();
    // Changes whenever another office process takes over: documents of an earlier one are lost.
    std::uint64_t generation() const noexcept { return generation_; }
    bool running() const noexcept { return process_ != nullptr; }
    const OfficeOptions& options() const noexcept { return options_; }
    // Why the documents of an earlier office were lost, for their later calls.
    const std::u16string& lossReason() const noexcept { return lossReason_; }

    const css::uno::Reference<css::frame::XDesktop2>& desktop() { return process().desktop(); }
    // Where the office writes a document it saves, before the save puts it in place.
    std::filesystem::path storeFolder() { return process().storeFolder(); }
    // A region replacer in the office, for one document; an office call.
    css::uno::Reference<css::task::XJob> makeReplacer();
    // The office's flags of a filter (css::document filter flags); an office call.
    sal_Int32 filterFlags(const OUString& filter);

    void documentOpened() noexcept { ++openDocuments_; }
    void documentClosed() noexcept { --openDocuments_; }

    // Every document loaded in this office, so that the changes an office takes with it when
    // it is lost are known.
    void documentLoaded(const std::shared_ptr<OfficeDocument>& document);
    // Keeps a closed document loaded, its changes not yet written: the next pair opens the same
    // file again, and loading and storing it again cost more than everything else done to it.
    // A document kept before, of another file, is written and closed.
    void keep(std::shared_ptr<OfficeDocument> document);
    // The kept document when it is of this file, the file is still as it was left and the office
    // is the one that loaded it; otherwise the kept document is written and closed.
    std::shared_ptr<OfficeDocument> reopen(const std::filesystem::path& path);
    // Throws, with the reason, when the file may not be opened again before finish: changes of
    // earlier pairs were lost with their office, and a document gets all of a run's pairs or none.
    void checkNotRefused(const std::filesystem::path& path) const;
    // The run is done with the file: its changes are written, atomically, and it is closed.
    // Returns whether the file written was read back and found whole. Throws AutomationError when
    // they cannot be written or were lost.
    bool finish(const std::filesystem::path& path);

    // Ends the office, or hands it back to wait for the next run; the session accepts no more
    // documents.
    void quit();

  private:
    void start();
    OfficeProcess& process();
    [[noreturn]] void throwFailure(const css::uno::Exception& e);
    [[noreturn]] void throwLost();
    // Lets go of an office that died or hung, with the documents it held.
    void loseOffice();
    // Writes the kept document's changes and closes it, for callers that never finish it; a
    // failure is only logged, and refuses the file until it is finished.
    void releaseKept() noexcept;

    OfficeOptions options_;
    std::shared_ptr<WarmOffices> warm_;
    std::unique_ptr<OfficeProcess> process_;
    std::uint64_t generation_ = 0;
    int documentsServed_ = 0;
    int openDocuments_ = 0;
    bool quit_ = false;
    std::u16string lossReason_;
    std::shared_ptr<OfficeDocument> kept_;
    std::vector<std::weak_ptr<OfficeDocument>> loaded_;
    struct Refusal {
        std::u16string reason;
        // The changes went with a lost office.
        bool lost = false;
    };
    std::map<std::filesystem::path, Refusal> refused_;
    std::map<OUString, sal_Int32> filterFlags_;
};

}  // namespace quorvane::automation::office
