#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/automation/variant.h"

namespace quorvane::platform::automation::office {

// Answers "Word.Application" with LibreOffice Writer, started and driven over UNO.
class OfficeFactory final : public ObjectFactory {
  public:
    struct Options {
        // Longest an office call may take before the office is taken for hung and restarted.
        std::chrono::milliseconds callTimeout = std::chrono::seconds{120};
        // The office is restarted after this many documents, as its memory grows.
        int recycleAfterDocuments = 200;
        // Longest the office may take to start and accept our connection.
        std::chrono::milliseconds startTimeout = std::chrono::seconds{60};
        // The office program (soffice.bin); empty for the installed office.
        std::filesystem::path program;
    };

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

}  // namespace quorvane::platform::automation::office
