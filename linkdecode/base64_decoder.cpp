#include "linkdecode/base64_decoder.h"

#include "linkdecode/unwrap_loops.h"

namespace linkdecode {

const std::string kBase64Alphabet(kBase64Symbols);

std::string DecodeBase64Text(const std::string& text) {
    std::string output;
    rules::RunDecoder<rules::AlphabetSearch, rules::AppendEachByte> decoder({&output});
    decoder.Feed(text);
    decoder.Finish();
    return output;
}

}  // namespace linkdecode
