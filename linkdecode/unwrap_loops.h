#pragma once

// The decoding loop, the prefix-removal pass and the order of the unwrapping steps, written once
// as templates for the two paths that run them: the dialog path and the batch path.
//
// The dialog's DecodeBase64Text and UnwrapDownloadLink value each symbol by a linear search of
// kBase64Alphabet, append every byte on its own and remove the prefix over the whole text; they
// stay that way. The command-line tool and the web page need the same bytes at batch speed. Two
// implementations would be kept equal only by tests, so the loop that decodes, the pass that
// removes the prefix and the order of the unwrapping steps are templates here, and each path is
// an instantiation that chooses no more than:
//   - how a byte is valued: AlphabetSearch, one byte after the other, or ValueTable, a 256-entry
//     table that the same search fills at compile time, four bytes at a time;
//   - where decoded bytes go: AppendEachByte to a std::string, or WriteIntoRoom, whole groups
//     into room reserved once;
//   - where the removal scan goes on after a byte that starts no occurrence: CharacterStep, the
//     next code page 936 character, or CandidateStep, the next place the prefix's first
//     non-symbol could stand at its distance.
// Templates and not virtual policies, because the batch path needs the valuation inlined into the
// loop; a single loop with run-time switches would slow the batch path and blur the dialog's.
//
// CandidateStep gives the same bytes as CharacterStep only while the bytes kept feed a decoder
// that stops at its first non-symbol: up to there every byte kept is a single-byte symbol, so the
// byte-by-byte scan visits each position, and no occurrence can start where the prefix's first
// non-symbol is missing. What the character scan would keep after that point is never read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/char_class.h"
#include "linkdecode/link_unwrap.h"

namespace linkdecode::rules {

// Values above 63 mean "not a symbol": "=" and every byte outside the alphabet end the run.
constexpr std::uint8_t kLastValue = 63;

// The dialog's valuation. A byte not in the alphabet gets the low 8 bits of the search's
// not-found value, 0xFF, above kLastValue. RunDecoder::Finish fills a leftover group with such
// values; whatever they are, they only reach bytes it does not write.
struct AlphabetSearch {
    static constexpr bool kValuesWholeGroups = false;  // one byte after the other, as the dialog
    static constexpr bool kDecodesBlocks = false;
    static std::uint8_t Value(unsigned char byte) {
        return static_cast<std::uint8_t>(kBase64Alphabet.find(static_cast<char>(byte)));
    }
};

// The same values, looked up: the table holds what the search gives for each byte.
struct ValueTable {
    // Values four bytes at once and keeps the group only when all four are symbols: it may look
    // at up to three bytes past the end of the run, which never changes what is decoded.
    static constexpr bool kValuesWholeGroups = true;
    // A valuation that decodes whole blocks of quanta at once says so, and gives
    // DecodeBlocks(bytes, count, output), which returns how many symbols it decoded.
    static constexpr bool kDecodesBlocks = false;
    static constexpr std::array<std::uint8_t, 256> kValues = [] {
        std::array<std::uint8_t, 256> values{};
        for (std::size_t b = 0; b < values.size(); ++b)
            values[b] = static_cast<std::uint8_t>(kBase64Symbols.find(static_cast<char>(b)));
        return values;
    }();
    static std::uint8_t Value(unsigned char byte) { return kValues[byte]; }
};

// The dialog's output: one byte appended at a time.
struct AppendEachByte {
    std::string* out;
    void Write(const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            *out += static_cast<char>(bytes[i]);
    }
};

// The batch output: groups copied into room the caller reserved for the longest result.
struct WriteIntoRoom {
    char* at;
    void Write(const std::uint8_t* bytes, std::size_t count) {
        std::memcpy(at, bytes, count);
        at += count;
    }
};

// The bytes a quantum of four symbol values carries, by the 8-bit formulas.
inline void DecodeQuantum(const std::uint8_t (&value)[4], std::uint8_t (&out)[3]) {
    out[0] = static_cast<std::uint8_t>((value[0] << 2) + ((value[1] & 0x30) >> 4));
    out[1] = static_cast<std::uint8_t>(((value[1] & 0x0F) << 4) + ((value[2] & 0x3C) >> 2));
    out[2] = static_cast<std::uint8_t>(((value[2] & 0x03) << 6) + value[3]);
}

// Decodes the leading run of Base64 symbols of a text fed in pieces: each whole quantum gives 3
// bytes; at the end, 1 to 3 leftover symbols give one byte fewer than their count.
template <typename Valuation, typename Output>
class RunDecoder {
public:
    explicit RunDecoder(Output out) : out_(out) {}

    // The output as the bytes decoded so far have left it.
    const Output& output() const { return out_; }

    // Decodes `piece`, the text that follows every piece fed before, and returns whether the run
    // goes on; once a byte ends it, this and every later call read nothing more.
    bool Feed(std::string_view piece) {
        const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
        const std::size_t n = piece.size();
        std::size_t i = 0;
        // A copy the compiler can keep in registers, as the bytes written cannot alias it.
        Output out = out_;
        while (!ended_ && i < n) {
            if (Valuation::kValuesWholeGroups && filled_ == 0) {
                if constexpr (Valuation::kDecodesBlocks)
                    i += Valuation::DecodeBlocks(p + i, n - i, out);
                for (; n - i >= 4; i += 4) {
                    const std::uint8_t value[4] = {
                        Valuation::Value(p[i]), Valuation::Value(p[i + 1]),
                        Valuation::Value(p[i + 2]), Valuation::Value(p[i + 3])};
                    if ((value[0] | value[1] | value[2] | value[3]) > kLastValue)
                        break;
                    Emit(out, value, 3);
                }
                if (i == n)
                    break;
            }
            const std::uint8_t value = Valuation::Value(p[i++]);
            if (value > kLastValue) {
                ended_ = true;
                break;
            }
            slot_[filled_++] = value;
            if (filled_ == 4) {
                Emit(out, slot_, 3);
                filled_ = 0;
            }
        }
        out_ = out;
        return !ended_;
    }

    // Ends the text: the leftover symbols, zero bytes as filler, give filled - 1 bytes.
    void Finish() {
        if (filled_ == 0)
            return;
        for (std::size_t i = filled_; i < 4; ++i)
            slot_[i] = Valuation::Value(0);
        Emit(out_, slot_, filled_ - 1);
        filled_ = 0;
    }

private:
    static void Emit(Output& out, const std::uint8_t (&value)[4], std::size_t count) {
        std::uint8_t bytes[3];
        DecodeQuantum(value, bytes);
        out.Write(bytes, count);
    }

    Output out_;
    std::uint8_t slot_[4] = {};
    std::size_t filled_ = 0;
    bool ended_ = false;
};

// The dialog's scan: from a byte that starts no occurrence, the next character, a lead byte
// taking the byte after it.
struct CharacterStep {
    std::size_t operator()(std::string_view text, std::size_t i) const {
        return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? i + 2
                                                                                      : i + 1;
    }
};

// Where the first byte that is no Base64 symbol stands in `prefix`, or its size if none does.
constexpr std::size_t FirstNonSymbol(std::string_view prefix) {
    std::size_t at = 0;
    while (at < prefix.size() && IsBase64Symbol(static_cast<unsigned char>(prefix[at])))
        ++at;
    return at;
}

// CandidateStep needs a non-symbol in every prefix it is given: "://" is one.
constexpr bool EveryPrefixHoldsANonSymbol() {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (FirstNonSymbol(scheme.prefix) == scheme.prefix.size())
            return false;
    }
    return true;
}
static_assert(EveryPrefixHoldsANonSymbol());

// The batch scan (see the top of this unit): from a byte that starts no occurrence, the next
// place where the prefix's first non-symbol stands at its distance. `prefix` must hold one.
class CandidateStep {
public:
    explicit constexpr CandidateStep(std::string_view prefix)
        : offset_(FirstNonSymbol(prefix)), marker_(prefix[offset_]) {}

    std::size_t operator()(std::string_view text, std::size_t i) const {
        const std::size_t from = i + 1 + offset_;
        if (from >= text.size())
            return text.size();
        const void* hit = std::memchr(text.data() + from, marker_, text.size() - from);
        if (hit == nullptr)
            return text.size();
        return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) - offset_;
    }

private:
    std::size_t offset_;
    char marker_;
};

// Whether `prefix` stands in `text` at `i`. Prefixes are 7 to 11 bytes, names 4 to 8: two
// overlapping word compares settle it without a call to memcmp, and the first byte alone settles
// nearly every comparison at a candidate that is none.
inline bool HasAt(std::string_view text, std::size_t i, std::string_view prefix) {
    const std::size_t n = prefix.size();
    if (text.size() - i < n || (n != 0 && text[i] != prefix[0]))
        return false;
    const char* a = text.data() + i;
    const char* b = prefix.data();
    const auto same = [&](std::size_t at, auto word) {
        decltype(word) x = 0;
        decltype(word) y = 0;
        std::memcpy(&x, a + at, sizeof x);
        std::memcpy(&y, b + at, sizeof y);
        return x == y;
    };
    if (n >= 8)
        return same(0, std::uint64_t{}) && same(n - 8, std::uint64_t{}) &&
               (n <= 16 || std::memcmp(a + 8, b + 8, n - 16) == 0);
    if (n >= 4)
        return same(0, std::uint32_t{}) && same(n - 4, std::uint32_t{});
    for (std::size_t k = 1; k < n; ++k) {
        if (a[k] != b[k])
            return false;
    }
    return true;
}

// One left-to-right pass over `text` that drops every occurrence of `prefix` (none when it is
// empty) and hands what lies between them to `keep`, in order, until `keep` returns false.
// `step(text, i)`, for an i where no occurrence starts, is where the scan goes on.
template <typename Step, typename Keep>
void RemovePrefixPass(std::string_view text, std::string_view prefix, Step step, Keep keep) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (!prefix.empty() && HasAt(text, i, prefix)) {
            i += prefix.size();
            continue;
        }
        const std::size_t next = step(text, i);
        if (!keep(text.substr(i, next - i)))
            return;
        i = next;
    }
}

// The decoded payload up to its first zero byte.
inline std::string_view UpToZero(std::string_view decoded) {
    return decoded.substr(0, decoded.find('\0'));
}

// The payload step for a text that `scheme` matched: `decode(scheme, take)` hands `take` the
// decoded payload, every occurrence of the prefix removed, as a view valid during the call;
// `decoded` takes it up to its first zero byte. The markers are still there.
template <typename Decode>
void PayloadStep(const LinkScheme& scheme, Decode decode, std::string& decoded) {
    decode(scheme, [&](std::string_view payload) { decoded.assign(UpToZero(payload)); });
}

// The address in the decoded payload of a link of `scheme`: up to the first zero byte, less the
// markers (WithoutMarkers).
inline std::string_view AddressIn(std::string_view decoded, const LinkScheme& scheme) {
    return WithoutMarkers(UpToZero(decoded), scheme);
}

// The steps of unwrapping `pasted`: no "/" is Ignored, no prefix at its start is NotALink;
// otherwise the payload step with `decode` gives the decoded payload and `address` takes
// AddressIn it, copied once. Sets `scheme` to the row matched, or nullptr.
template <typename Decode>
UnwrapOutcome UnwrapSteps(std::string_view pasted, Decode decode, std::string& address,
                          const LinkScheme*& scheme) {
    // Every prefix holds a "/", so the text's search for one is needed only when none matched.
    scheme = MatchLinkScheme(pasted);
    if (scheme == nullptr) {
        address.clear();
        return pasted.find('/') == std::string_view::npos ? UnwrapOutcome::Ignored
                                                          : UnwrapOutcome::NotALink;
    }

    decode(*scheme, [&](std::string_view payload) { address.assign(AddressIn(payload, *scheme)); });
    return UnwrapOutcome::Decoded;
}

}  // namespace linkdecode::rules
