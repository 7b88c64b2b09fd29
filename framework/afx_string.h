#pragma once

#include <windows.h>

#include <string>

// Narrow text in the ANSI code page. Lengths count bytes: a double-byte character counts two.
class CString {
public:
    // The empty string.
    CString() = default;

    // A copy of the zero-terminated `text`; null gives the empty string.
    CString(LPCSTR text);  // NOLINT: converts implicitly, as string literals are passed around

    // A copy of the `length` bytes at `text`, zero bytes included.
    CString(LPCSTR text, int length);

    // Replaces the content with string resource `nID` of the program's resources, converted to
    // the ANSI code page by the system, and returns TRUE; when the string is missing or empty,
    // leaves the empty string and returns FALSE. Never truncates, however long the string.
    BOOL LoadString(UINT nID);

    // The length in bytes.
    int GetLength() const { return static_cast<int>(m_text.size()); }

    // TRUE when the length is 0.
    BOOL IsEmpty() const { return m_text.empty(); }

    // Makes the string empty.
    void Empty() { m_text.clear(); }

    // The bytes, followed by a zero byte; valid until the string next changes.
    operator LPCSTR() const { return m_text.c_str(); }

    // Returns a writable buffer of at least `minLength` bytes plus a zero byte, keeping the
    // current content; call ReleaseBuffer before any other member.
    LPSTR GetBuffer(int minLength);

    // Ends GetBuffer: the string keeps the first `newLength` bytes of the buffer, or, for -1,
    // the bytes before its first zero byte.
    void ReleaseBuffer(int newLength = -1);

    // Byte-wise comparisons.
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_text != b.m_text; }

private:
    std::string m_text;
};
