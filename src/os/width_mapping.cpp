#include "os/width_mapping.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>

#include "os/error.h"
#include "os/os_messages.h"

namespace quorvane::os {
namespace {

// Building a transliterator parses its rules; do it once per direction and reuse it.
class WidthTransliterator final {
  public:
    explicit WidthTransliterator(const char* id) {
        UErrorCode status = U_ZERO_ERROR;
        transliterator_.reset(
            icu::Transliterator::createInstance(icu::UnicodeString(id), UTRANS_FORWARD, status));
        if (U_FAILURE(status) || !transliterator_) {
            throw Error(messages::widthTableNotLoaded());
        }
    }

    std::u16string apply(std::u16string_view text) {
        icu::UnicodeString s(text.data(), static_cast<int32_t>(text.size()));
        {
            const std::lock_guard lock(mutex_);
            transliterator_->transliterate(s);
        }
        return std::u16string(s.getBuffer(), static_cast<std::size_t>(s.length()));
    }

  private:
    std::unique_ptr<icu::Transliterator> transliterator_;
    std::mutex mutex_;
};

}  // namespace

std::u16string toFullWidth(std::u16string_view text) {
    static WidthTransliterator transliterator("Halfwidth-Fullwidth");
    return transliterator.apply(text);
}

std::u16string toHalfWidth(std::u16string_view text) {
    static WidthTransliterator transliterator("Fullwidth-Halfwidth");
    return transliterator.apply(text);
}

}  // namespace quorvane::os
