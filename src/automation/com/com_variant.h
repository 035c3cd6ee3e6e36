#pragma once

#include <comutil.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "automation/variant.h"

namespace quorvane::automation::com {

// A BSTR of text, embedded NULs and all, and text of a BSTR (null for the empty text).
_bstr_t toBstr(std::u16string_view text);
std::u16string fromBstr(BSTR text);

// Every type the object model knows, both ways. Objects travel as IDispatch references; an
// object that is not a COM object cannot be passed. Results by reference are unwrapped, and the
// other integer types the word processor answers with become 32-bit integers where they fit.
// Both throw AutomationError for a value that has no counterpart.
_variant_t toComVariant(const Variant& value);
Variant fromComVariant(const VARIANT& value);

}  // namespace quorvane::automation::com
