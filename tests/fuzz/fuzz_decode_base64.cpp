// Checks, for any input, what the decoder's contract promises: only the leading run of symbols
// counts, and it yields exactly the bytes its length implies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkdecode/base64_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string output = linkdecode::DecodeBase64Text(input);

    std::size_t run = 0;
    while (run < size && data[run] != '=' &&
           linkdecode::kBase64Alphabet.find(static_cast<char>(data[run])) != std::string::npos) {
        ++run;
    }
    const std::size_t expectedSize = run / 4 * 3 + (run % 4 > 1 ? run % 4 - 1 : 0);
    if (output.size() != expectedSize) std::abort();
    if (linkdecode::DecodeBase64Text(input.substr(0, run)) != output) std::abort();
    return 0;
}
