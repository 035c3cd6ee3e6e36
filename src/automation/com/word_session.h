#pragma once

#include <memory>

#include "automation/variant.h"

namespace quorvane::automation::com {

// Word as the passes expect every backend to behave, whatever the user has set in it:
// - started unattended: hidden, no alerts, macros of opened documents never run;
// - documents opened by full path without conversion, repair, encoding or password prompts and
//   without entries in the recent files; one that opens read-only (locked, or read-only on disk)
//   is closed again and fails, as it could not be saved;
// - every Find option the passes rely on pinned before each Execute (Word's options are sticky,
//   and its Japanese editions search fuzzily and across widths by default), and find and
//   replacement texts over Word's limit refused with a plain reason;
// - Close saves a changed document to a new file beside it and puts that in place with
//   ReplaceFileW (which keeps the original's attributes and security): nothing half-written
//   ever replaces a document, and an unchanged one is not touched;
// - Quit never asks about unsaved documents.
class WordFactory final : public ObjectFactory {
  public:
    explicit WordFactory(ObjectFactory& inner) : inner_(inner) {}
    Variant create(std::u16string_view className) override;

  private:
    ObjectFactory& inner_;
};

// Word's limit on find and replacement texts.
inline constexpr std::size_t kWordTextLimit = 255;

}  // namespace quorvane::automation::com
