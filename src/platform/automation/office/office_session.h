#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <rtl/ustring.hxx>

#include "platform/automation/automation_error.h"
#include "platform/automation/office/office_factory.h"
#include "platform/automation/office/office_process.h"

namespace quorvane::platform::automation::office {

using ::rtl::OUString;

// sal_Unicode is a 16-bit integer outside LibreOffice's own build: the same code units.
inline std::u16string toU16(const OUString& text) {
    return {reinterpret_cast<const char16_t*>(text.getStr()),
            static_cast<std::size_t>(text.getLength())};
}
inline OUString toOUString(std::u16string_view text) {
    return OUString(reinterpret_cast<const sal_Unicode*>(text.data()),
                    static_cast<sal_Int32>(text.size()));
}

// The office of one application object over its lifetime: started when a document needs it,
// replaced when it dies, hangs or has served enough documents, ended at Quit.
class OfficeSession final {
  public:
    explicit OfficeSession(OfficeFactory::Options options);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Runs one office call under the watchdog. A UNO failure becomes an AutomationError; when the
    // office died or hung it is killed first, and every document it held is lost.
    template <typename Call>
    decltype(auto) call(Call&& body) {
        OfficeProcess& process = this->process();
        try {
            OfficeProcess::Watch watch(process, options_.callTimeout);
            return std::forward<Call>(body)();
        } catch (const css::lang::DisposedException&) {
            throw lost();
        } catch (const css::uno::Exception& e) {
            throw failure(e);
        }
    }

    // The office for the next document to be opened, started or renewed as needed.
    void prepareForDocument();
    // Changes whenever another office process takes over: documents of an earlier one are lost.
    std::uint64_t generation() const noexcept { return generation_; }
    bool running() const noexcept { return process_ != nullptr; }
    // Why the documents of an earlier office were lost, for their later calls.
    const std::u16string& lossReason() const noexcept { return lossReason_; }

    const css::uno::Reference<css::frame::XDesktop2>& desktop() { return process().desktop(); }

    void documentOpened() noexcept { ++openDocuments_; }
    void documentClosed() noexcept { --openDocuments_; }

    // Ends the office; the session accepts no more documents.
    void quit();

  private:
    OfficeProcess& process();
    AutomationError failure(const css::uno::Exception& e);
    AutomationError lost();

    OfficeFactory::Options options_;
    std::unique_ptr<OfficeProcess> process_;
    std::uint64_t generation_ = 0;
    int documentsServed_ = 0;
    int openDocuments_ = 0;
    bool quit_ = false;
    std::u16string lossReason_;
};

}  // namespace quorvane::platform::automation::office
