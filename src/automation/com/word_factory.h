#pragma once

#include <cstddef>
#include <string>

#include "automation/variant.h"

namespace quorvane::automation::com {

// Word as the passes expect every backend to behave, whatever the user has set in it:
// - started unattended: hidden, no alerts, macros of opened documents never run;
// - documents opened by full path, afresh (a copy Word still holds is reverted), without
//   conversion, repair, encoding or password prompts and without entries in the recent files;
//   one that opens read-only (locked, or read-only on disk) is closed again and fails, as it
//   could not be saved, unless it is only recommended read-only;
// - every Find option the passes rely on pinned before each Execute (Word's options are sticky,
//   and its Japanese editions search fuzzily and across widths by default), find and
//   replacement texts over Word's limit refused with a plain reason, and the replacement put in
//   as given where Word would change its case to an uppercase match's; a replace-all answers how
//   many it replaced, the matches counted by finding them first (Word answers only whether it
//   found any);
// - a document opened with ReadOnly:=True (a dry run) taken as it opens, changed in memory and
//   never saved;
// - Close saves a document only when a replacement was made in it and no search of it failed,
//   in its own format (text in its own encoding and line ends, a read-only recommendation
//   kept), to a new file beside it, and puts that in place through os::AtomicSave (on Windows
//   with ReplaceFileW, which keeps the original's security and streams): nothing half-written
//   ever replaces a document, an unchanged one is not touched, and a document is closed whatever
//   happens;
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
