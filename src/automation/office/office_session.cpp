#include "automation/office/office_session.h"

#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/exc_hlp.hxx>

#include "automation/office/office_document.h"
#include "automation/office/office_messages.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;

OfficeSession::OfficeSession(OfficeOptions options, std::shared_ptr<WarmOffices> warm)
    : options_(std::move(options)), warm_(std::move(warm)) {
    start();
}

OfficeSession::~OfficeSession() {
    quit();
}

void OfficeSession::prepareForDocument() {
    if (quit_)
        throw AutomationError(std::u16string(messages::kOfficeAlreadyQuit));
    // An office that died between documents is replaced before it fails the next load.
    if (process_ && !process_->alive())
        loseOffice();
    if (process_ && documentsServed_ >= options_.recycleAfterDocuments && openDocuments_ == 0) {
        releaseKept();
        process_.reset();
    }
    if (!process_) {
        os::log::detail(u"ワープロを起動し直します");
        start();
    }
    ++documentsServed_;
}

void OfficeSession::start() {
    if (auto office = warm_ ? warm_->take() : std::nullopt) {
        os::log::detail(u"起動済みのワープロを使います");
        process_ = std::move(office->process);
        documentsServed_ = office->documentsServed;
    } else {
        process_ = std::make_unique<OfficeProcess>(OfficeProcess::Settings{
            options_.program, options_.startTimeout, false, options_.replacer});
        documentsServed_ = 0;
    }
    ++generation_;
}

Reference<css::task::XJob> OfficeSession::makeReplacer() {
    const auto& context = process().context();
    return Reference<css::task::XJob>(process().replacers()->createInstanceWithContext(context),
                                      css::uno::UNO_QUERY_THROW);
}

sal_Int32 OfficeSession::filterFlags(const OUString& filter) {
    if (const auto known = filterFlags_.find(filter); known != filterFlags_.end())
        return known->second;
    sal_Int32 flags = 0;
    const auto& context = process().context();
    const Reference<css::container::XNameAccess> filters(
        context->getServiceManager()->createInstanceWithContext(
            "com.sun.star.document.FilterFactory", context),
        css::uno::UNO_QUERY_THROW);
    css::uno::Sequence<css::beans::PropertyValue> properties;
    filters->getByName(filter) >>= properties;
    for (const auto& p : properties) {
        if (p.Name == "Flags")
            p.Value >>= flags;
    }
    filterFlags_.emplace(filter, flags);
    return flags;
}

void OfficeSession::documentLoaded(const std::shared_ptr<OfficeDocument>& document) {
    std::erase_if(loaded_, [](const auto& d) { return d.expired(); });
    loaded_.push_back(document);
}

void OfficeSession::keep(std::shared_ptr<OfficeDocument> document) {
    if (kept_ && kept_ != document)
        releaseKept();
    kept_ = std::move(document);
}

std::shared_ptr<OfficeDocument> OfficeSession::reopen(const std::filesystem::path& path) {
    if (!kept_)
        return nullptr;
    if (kept_->path() != path) {
        releaseKept();
        return nullptr;
    }
    if (kept_->usable() && kept_->unchangedOnDisk())
        return std::exchange(kept_, nullptr);
    if (kept_->usable() && kept_->changed() && !kept_->unchangedOnDisk()) {
        // Writing ours would undo what someone else wrote; loading theirs would give the file
        // only the later pairs.
        refused_[path] = {std::u16string(messages::kChangedMeanwhile)};
        std::exchange(kept_, nullptr)->release();
        return nullptr;
    }
    releaseKept();
    return nullptr;
}

void OfficeSession::checkNotRefused(const std::filesystem::path& path) const {
    const auto r = refused_.find(path);
    if (r == refused_.end())
        return;
    if (r->second.lost)
        throw WordProcessorLostError(r->second.reason);
    throw AutomationError(r->second.reason);
}

bool OfficeSession::finish(const std::filesystem::path& path) {
    if (const auto r = refused_.find(path); r != refused_.end()) {
        const Refusal refusal = r->second;
        refused_.erase(r);
        if (kept_ && kept_->path() == path)
            std::exchange(kept_, nullptr)->release();
        if (refusal.lost)
            throw WordProcessorLostError(refusal.reason);
        throw AutomationError(refusal.reason);
    }
    if (!kept_ || kept_->path() != path)
        return false;
    const std::shared_ptr<OfficeDocument> document = std::exchange(kept_, nullptr);
    const ReleasedOnExit release(*document);
    return document->store();
}

void OfficeSession::releaseKept() noexcept {
    if (!kept_)
        return;
    const std::shared_ptr<OfficeDocument> document = std::exchange(kept_, nullptr);
    try {
        document->store();
    } catch (const AutomationError& e) {
        os::log::problem(u"保存できませんでした：" + os::fromNativePath(document->path()) + u"：" +
                         e.message());
        refused_[document->path()] = {e.message()};
    }
    document->release();
}

void OfficeSession::quit() {
    releaseKept();
    quit_ = true;
    // An office with a document still open, or due for renewal, is not lent again.
    if (warm_ && process_ && openDocuments_ == 0 &&
        documentsServed_ < options_.recycleAfterDocuments && process_->alive()) {
        warm_->put({std::move(process_), documentsServed_});
    }
    process_.reset();
}

OfficeProcess& OfficeSession::process() {
    if (!process_) {
        throw AutomationError(lossReason_.empty() ? std::u16string(messages::kOfficeNotStarted)
                                                  : lossReason_);
    }
    return *process_;
}

void OfficeSession::throwFailure(const css::uno::Exception& e) {
    if (!process_->alive() || process_->timedOut())
        throwLost();
    // Called while the exception is being handled: it tells its own UNO type.
    os::log::problem(u"ワープロの呼び出しに失敗しました：" +
                     toU16(cppu::getCaughtException().getValueTypeName()) + u"：" +
                     toU16(e.Message));
    throw AutomationError(std::u16string(messages::kOfficeCallFailed));
}

void OfficeSession::throwLost() {
    loseOffice();
    throw WordProcessorLostError(lossReason_);
}

void OfficeSession::loseOffice() {
    lossReason_ = process_->timedOut() ? messages::kOfficeNotResponding : messages::kOfficeCrashed;
    os::log::problem(u"ワープロを失いました（" + lossReason_ + u"）：pid " +
                     os::fromUtf8(std::to_string(process_->pid())));
    process_->kill();
    process_.reset();
    // Its documents are of an office that is no more, whatever takes its place.
    ++generation_;
    openDocuments_ = 0;
    // The changes they held never reached their files, which stay as they were.
    for (const auto& weak : loaded_) {
        if (const auto document = weak.lock(); document && document->changed())
            refused_[document->path()] = {lossReason_, true};
    }
    loaded_.clear();
    kept_.reset();
}

}  // namespace quorvane::automation::office
