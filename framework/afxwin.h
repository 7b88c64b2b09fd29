#pragma once

// The whole framework in one include.
#include "framework/afx_string.h"
#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/message_map.h"
#include "framework/paint_dc.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
