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
        std::chrono::seconds callTimeout{120};
        // The office is restarted after this many documents, as its memory grows.
        int recycleAfterDocuments = 200;
    };

    OfficeFactory();
    explicit OfficeFactory(Options options);
    ~OfficeFactory() override;

    Variant create(std::u16string_view className) override;

private:
    Options options_;
};

}  // namespace quorvane::platform::automation::office
