#include "automation/office/office_factory.h"

#include "automation/automation_error.h"
#include "automation/member_name.h"
#include "automation/office/office_application.h"
#include "automation/office/office_messages.h"
#include "automation/office/warm_offices.h"
#include "automation/word_model.h"

namespace quorvane::automation::office {

OfficeFactory::OfficeFactory() : OfficeFactory(Options{}) {}

OfficeFactory::OfficeFactory(Options options)
    : options_(std::move(options)),
      warm_(options_.keepWarm > std::chrono::milliseconds::zero()
                ? std::make_shared<WarmOffices>(options_.keepWarm)
                : nullptr) {}

OfficeFactory::~OfficeFactory() = default;

Variant OfficeFactory::create(std::u16string_view className) {
    if (!sameName(className, word::kApplicationClass)) {
        throw AutomationError(messages::noServer(className));
    }
    return Variant(std::shared_ptr<Object>(std::make_shared<OfficeApplication>(options_, warm_)));
}

std::size_t OfficeFactory::warmOffices() const {
    return warm_ ? warm_->waiting() : 0;
}

}  // namespace quorvane::automation::office
