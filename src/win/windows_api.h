#pragma once

// The Windows API, with the owners of its handles, without its MessageBox macro, which would
// otherwise rename os::MessageBox in every file that sees it and so break the link with the code
// that does not.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include "os/unique_handle.h"
#undef MessageBox
