#pragma once

#include <windows.h>

// What the driver asks the probe loaded into the program, and where the answer goes. The block
// lives in the program's memory; the driver writes the question and reads the answer back.
namespace e2e::probe {

enum class Question : DWORD {
    // Every item of the window's system menu, one line each: "<type hex> <id> <text>".
    SystemMenu = 1,
    // "<big> <small>" icon sizes ("32x32"), "none" where no icon is set, then "same" or "differ"
    // for whether both are the program's icon 128 as LoadIcon gives it.
    WindowIcons = 2,
    // Which icon the static icon control shows: "program" (icon 128), the standard "exclamation",
    // "hand", "asterisk" or "question", or "other".
    StaticIcon = 3,
};

struct Block {
    Question question;
    HWND window;
    char answer[16384];
};

// Exported by the probe DLL: answers the question in the Block it is given; returns 1 on success.
constexpr char kEntryName[] = "VeltrunProbeAnswer";

}  // namespace e2e::probe
