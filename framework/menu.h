#pragma once

#include <windows.h>

// A menu handle that the window owning it releases; this wrapper never destroys it.
class CMenu {
public:
    // Wraps `menu`, which may be null.
    explicit CMenu(HMENU menu = nullptr) : m_hMenu(menu) {}

    // Appends an item with `flags` (MF_SEPARATOR, MF_STRING, ...), command `id` and `text`;
    // returns FALSE when the menu is null or the system refuses.
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr);

    HMENU m_hMenu;
};
