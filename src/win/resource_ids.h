#pragma once

// Shared by the resource script and the code that loads its resources.
#define QUORVANE_ICON 1
#define QUORVANE_PICTURE 101
