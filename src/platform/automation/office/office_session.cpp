#include "platform/automation/office/office_session.h"

namespace quorvane::platform::automation::office {

OfficeSession::OfficeSession(OfficeFactory::Options options) : options_(std::move(options)) {}

OfficeSession::~OfficeSession() {
    quit();
}

void OfficeSession::prepareForDocument() {
    if (quit_)
        throw AutomationError(u"ワープロは既に終了しています");
    if (process_ && documentsServed_ >= options_.recycleAfterDocuments && openDocuments_ == 0) {
        process_.reset();
    }
    if (!process_) {
        process_ = std::make_unique<OfficeProcess>(options_.startTimeout);
        ++generation_;
        documentsServed_ = 0;
    }
    ++documentsServed_;
}

void OfficeSession::quit() {
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
    return AutomationError(u"ワープロの呼び出しに失敗しました：" + toU16(e.Message));
}

AutomationError OfficeSession::lost() {
    lossReason_ = process_->timedOut() ? u"ワープロが応答しないため中断しました"
                                       : u"ワープロが異常終了したため中断しました";
    process_->kill();
    process_.reset();
    openDocuments_ = 0;
    return AutomationError(lossReason_);
}

}  // namespace quorvane::platform::automation::office
