#pragma once
// The browse window's menu bar and keys. The view-mode and refresh items carry
// the command numbers the quorvane view takes through IOleCommandTarget::Exec,
// so the window passes them on unchanged.

#include "../../src/resources/resource.h"

#define IDR_BROWSE_MENU 1
#define IDR_BROWSE_KEYS 1

#define IDC_BROWSE_CLOSE 100
