#pragma once

#include <memory>
#include <string_view>

#include "automation/office/office_options.h"
#include "automation/variant.h"

namespace quorvane::automation::office {

// Answers "Word.Application" with LibreOffice Writer, started and driven over UNO.
class OfficeFactory final : public ObjectFactory {
  public:
    using Options = OfficeOptions;

    OfficeFactory();
    explicit OfficeFactory(Options options);
    ~OfficeFactory() override;

    // Each application object starts its own office at once, so that an office that cannot start
    // fails here (AutomationError) before a run touches any document, and ends it at Quit or when
    // the last reference to it goes.
    Variant create(std::u16string_view className) override;

  private:
    Options options_;
};

}  // namespace quorvane::automation::office
