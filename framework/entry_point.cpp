// The process entry point, kept out of the static library so that the linker always takes it.
#include <windows.h>

#include "framework/win_app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(hInstance);
}
