#pragma once

#include <cstddef>
#include <string_view>

namespace linkdecode {

// The length of the mark at the start of `text` by which a page says it cut a text short: an
// ellipsis ("…", "⋯", "...", "。。。"), "（省略）" or "(省略)", in UTF-8 or GBK, or "…" as an
// HTML entity or a JSON escape; 0 when none starts there.
std::size_t CutMarkLength(std::string_view text);

}  // namespace linkdecode
