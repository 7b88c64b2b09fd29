#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace e2e {

// The clipboard as another program sees it. Changes are awaited through the sequence number,
// never by opening the clipboard repeatedly (that would make the program's own WM_COPY fail).

// Replaces the clipboard's content by `bytes` as CF_TEXT (ANSI code page, cut at a zero byte).
bool PutClipboardText(const std::string& bytes);
// Empties the clipboard, so that it holds no text at all.
bool ClearClipboard();
// The CF_TEXT content, or nothing if the clipboard holds no text.
std::optional<std::string> ClipboardText();
// GetClipboardSequenceNumber: changes whenever the clipboard's content does.
DWORD ClipboardSequence();

}  // namespace e2e
