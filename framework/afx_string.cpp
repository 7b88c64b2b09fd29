#include "framework/afx_string.h"

#include <cstring>

#include "framework/win_app.h"

CString::CString(LPCSTR text) {
    if (text != nullptr) {
        m_text = text;
    }
}

CString::CString(LPCSTR text, int length) {
    if (text != nullptr && length > 0) {
        m_text.assign(text, static_cast<std::size_t>(length));
    }
}

BOOL CString::LoadString(UINT nID) {
    m_text.clear();
    // String resources are stored in blocks of 16; the block's id is the string's / 16 + 1.
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCEA((nID >> 4) + 1), RT_STRING);
    // LoadStringA cuts to the buffer and says how much it copied: a result that fills the
    // buffer may have been cut, so grow until one does not.
    for (int size = 256;; size *= 2) {
        std::string buffer(static_cast<std::size_t>(size), '\0');
        const int copied = ::LoadStringA(module, nID, buffer.data(), size);
        if (copied <= 0) {
            return FALSE;
        }
        if (copied < size - 2 || size >= (1 << 20)) {
            buffer.resize(static_cast<std::size_t>(copied));
            m_text = std::move(buffer);
            return TRUE;
        }
    }
}

LPSTR CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) {
        m_text.resize(static_cast<std::size_t>(minLength));
    }
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    }
    if (newLength < GetLength()) {
        m_text.resize(static_cast<std::size_t>(newLength));
    }
}
