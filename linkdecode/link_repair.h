#pragma once

// The former name of repair_readings.h, which also held the repair table (now repairs.h). Kept
// only until the page's binding includes those two; nothing else includes it.
#include "linkdecode/repair_readings.h"
#include "linkdecode/repairs.h"
