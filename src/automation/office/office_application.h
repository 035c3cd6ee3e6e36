#pragma once

#include <memory>

#include "automation/office/office_session.h"
#include "automation/variant.h"

namespace quorvane::automation::office {

// The application object of the late-bound model, over an office of its own. Its office ends at
// Quit, or when the last reference to the application goes, unless it waits warm for the next.
class OfficeApplication final : public Object,
                                public std::enable_shared_from_this<OfficeApplication> {
  public:
    OfficeApplication(OfficeOptions options, std::shared_ptr<WarmOffices> warm);
    ~OfficeApplication() override;

    Variant get(std::u16string_view member) override;
    void put(std::u16string_view member, const Variant& value) override;
    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override;
    std::vector<Variant> enumerate() override;

  private:
    std::shared_ptr<OfficeSession> session_;
};

}  // namespace quorvane::automation::office
