#include "platform/automation/office/office_factory.h"

#include "platform/automation/automation_error.h"
#include "platform/automation/member_name.h"
#include "platform/automation/office/office_application.h"

namespace quorvane::platform::automation::office {

OfficeFactory::OfficeFactory() : OfficeFactory(Options{}) {}

OfficeFactory::OfficeFactory(Options options) : options_(std::move(options)) {}

OfficeFactory::~OfficeFactory() = default;

Variant OfficeFactory::create(std::u16string_view className) {
    if (!sameName(className, u"Word.Application")) {
        throw AutomationError(u"クラス " + std::u16string(className) + u" のサーバーがありません");
    }
    return Variant(std::shared_ptr<Object>(std::make_shared<OfficeApplication>(options_)));
}

}  // namespace quorvane::platform::automation::office
