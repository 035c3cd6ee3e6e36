#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <com/sun/star/frame/XModel.hpp>

#include "automation/office/office_session.h"

namespace quorvane::automation::office {

// What the user reads when a file operation of a save fails with this errno value.
std::u16string saveFailureReason(int error);

// A word-processing document loaded in the office, saved in its own format when it is closed
// after a change. A document whose office was lost refuses every call.
class OfficeDocument final {
  public:
    // Throws AutomationError with the reason when the file is not a document we may edit.
    static std::shared_ptr<OfficeDocument> open(std::shared_ptr<OfficeSession> session,
                                                std::u16string_view path);
    // A document that was never closed is closed without saving.
    ~OfficeDocument();
    OfficeDocument(const OfficeDocument&) = delete;
    OfficeDocument& operator=(const OfficeDocument&) = delete;

    template <typename Call>
    decltype(auto) call(Call&& body) {
        checkUsable();
        return session_->call(std::forward<Call>(body));
    }

    const css::uno::Reference<css::frame::XModel>& model() const noexcept { return model_; }

    // Saves the document when it was changed, atomically, then closes it. Returns what the user
    // should know of the save (a save in another format), or an empty text.
    std::u16string close();

    struct Loaded;

  private:
    OfficeDocument(std::shared_ptr<OfficeSession> session, std::filesystem::path path,
                   Loaded loaded);
    void checkUsable() const;
    // Whether the file was written.
    bool save();
    void discard();

    std::shared_ptr<OfficeSession> session_;
    std::uint64_t generation_;
    std::filesystem::path path_;
    css::uno::Reference<css::frame::XModel> model_;
    // The format the file is in, and the one a save writes: another one when the office cannot
    // write the file's own.
    OUString filter_;
    OUString filterOptions_;
    OUString storeFilter_;
    std::u16string storeNotice_;
    bool closed_ = false;
};

}  // namespace quorvane::automation::office
