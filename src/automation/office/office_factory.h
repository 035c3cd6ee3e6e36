#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "automation/office/office_options.h"
#include "automation/variant.h"

namespace quorvane::automation::office {

class WarmOffices;

// Answers "Word.Application" with LibreOffice Writer, started and driven over UNO.
class OfficeFactory final : public ObjectFactory {
  public:
    using Options = OfficeOptions;

    OfficeFactory();
    explicit OfficeFactory(Options options);
    ~OfficeFactory() override;

    // Each application object starts its own office at once, so that an office that cannot start
    // fails here (AutomationError) before a run touches any document, and ends it at Quit or when
    // the last reference to it goes. With keepWarm it takes an office that waits from an earlier
    // run instead, and hands its own back at Quit; the factory ends those that wait when it goes.
    Variant create(std::u16string_view className) override;

    // Offices waiting for the next run.
    std::size_t warmOffices() const;
    // For the application objects created from now on (see OfficeOptions::checkSavedFiles).
    void checkSavedFiles(bool check) noexcept { options_.checkSavedFiles = check; }

  private:
    Options options_;
    std::shared_ptr<WarmOffices> warm_;
};

}  // namespace quorvane::automation::office
