#include "automation/office/office_session.h"

#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/exc_hlp.hxx>

#include "os/log.h"
#include "os/text_encoding.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;

OfficeSession::OfficeSession(OfficeOptions options) : options_(std::move(options)) {
    start();
}

OfficeSession::~OfficeSession() {
    quit();
}

void OfficeSession::prepareForDocument() {
    if (quit_)
        throw AutomationError(u"ワープロは既に終了しています");
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
    process_ = std::make_unique<OfficeProcess>(
        OfficeProcess::Settings{options_.program, options_.startTimeout});
    ++generation_;
    documentsServed_ = 0;
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

void OfficeSession::keep(KeptDocument document) {
    releaseKept();
    if (!running())
        return;
    kept_ = std::move(document);
    keptGeneration_ = generation_;
}

std::optional<KeptDocument> OfficeSession::reopen(const std::filesystem::path& path) {
    if (!kept_)
        return std::nullopt;
    const bool recycleDue = documentsServed_ >= options_.recycleAfterDocuments;
    if (!quit_ && running() && keptGeneration_ == generation_ && !recycleDue &&
        kept_->path == path && FileIdentity::of(path) == kept_->identity) {
        std::optional<KeptDocument> document = std::move(kept_);
        kept_.reset();
        return document;
    }
    releaseKept();
    return std::nullopt;
}

void OfficeSession::releaseKept() noexcept {
    if (!kept_)
        return;
    const KeptDocument document = std::move(*kept_);
    kept_.reset();
    if (!running() || keptGeneration_ != generation_)
        return;
    try {
        call([&] { closeModel(document.model); });
    } catch (const AutomationError&) {
        // The office went down while closing it, and the document with it.
    }
}

void OfficeSession::quit() {
    releaseKept();
    quit_ = true;
    process_.reset();
}

OfficeProcess& OfficeSession::process() {
    if (!process_) {
        throw AutomationError(lossReason_.empty() ? u"ワープロが起動していません" : lossReason_);
    }
    return *process_;
}

AutomationError OfficeSession::failure(const css::uno::Exception& e) {
    if (!process_->alive() || process_->timedOut())
        return lost();
    // Called while the exception is being handled: it tells its own UNO type.
    os::log::problem(u"ワープロの呼び出しに失敗しました：" +
                     toU16(cppu::getCaughtException().getValueTypeName()) + u"：" +
                     toU16(e.Message));
    return AutomationError(u"ワープロがこの文書の処理に失敗しました");
}

AutomationError OfficeSession::lost() {
    lossReason_ = process_->timedOut() ? u"ワープロが応答しないため中断しました"
                                       : u"ワープロが異常終了したため中断しました";
    os::log::problem(u"ワープロを失いました（" + lossReason_ + u"）：pid " +
                     os::fromUtf8(std::to_string(process_->pid())));
    process_->kill();
    process_.reset();
    openDocuments_ = 0;
    kept_.reset();
    return AutomationError(lossReason_);
}

}  // namespace quorvane::automation::office
