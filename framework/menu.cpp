#include "framework/menu.h"

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCSTR text) {
    if (m_hMenu == nullptr) {
        return FALSE;
    }
    return ::AppendMenuA(m_hMenu, flags, id, text);
}
