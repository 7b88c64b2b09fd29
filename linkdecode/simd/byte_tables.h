#pragma once

// The lookup tables the vector kernels classify and convert bytes with, each made from the
// scalar rule it stands for and checked against it over every byte value, so a kernel can differ
// from the scalar loops only in how it applies a table, never in what the table says.

#include <cstddef>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/char_class.h"

namespace linkdecode::simd {

// Sixteen bytes, as one vector register lane holds them.
struct Lane {
    unsigned char at[16] = {};
};

// A set of bytes as two lookups, by low and by high nibble, whose results share a bit exactly for
// the bytes of the set: each high nibble that holds a member gets a bit of its own, and the low
// nibble's entry holds the bits of the rows where it makes a member. Exact for any set spread
// over at most eight rows; bytes of 0x80 or more look up rows 8 to 15.
struct NibbleSet {
    Lane byLow;
    Lane byHigh;

    constexpr bool Holds(unsigned char byte) const {
        return (byLow.at[byte & 15] & byHigh.at[byte >> 4]) != 0;
    }
};

template <typename Rule>
constexpr NibbleSet MakeNibbleSet(Rule inSet) {
    NibbleSet set{};
    unsigned bit = 1;
    for (int high = 0; high < 16; ++high) {
        bool used = false;
        for (int low = 0; low < 16; ++low) {
            if (inSet(static_cast<unsigned char>(high << 4 | low))) {
                set.byLow.at[low] = static_cast<unsigned char>(set.byLow.at[low] | bit);
                used = true;
            }
        }
        if (used) {
            set.byHigh.at[high] = static_cast<unsigned char>(bit);
            bit <<= 1;
        }
    }
    return set;
}

template <typename Rule>
constexpr bool SameOnEveryByte(const NibbleSet& set, Rule inSet) {
    for (int byte = 0; byte < 256; ++byte) {
        if (set.Holds(static_cast<unsigned char>(byte)) != inSet(static_cast<unsigned char>(byte)))
            return false;
    }
    return true;
}

inline constexpr NibbleSet kLinkEndSet = MakeNibbleSet(EndsLink);
static_assert(SameOnEveryByte(kLinkEndSet, EndsLink), "more rows than bits");

inline constexpr NibbleSet kBase64SymbolSet = MakeNibbleSet(IsBase64Symbol);
static_assert(SameOnEveryByte(kBase64SymbolSet, IsBase64Symbol), "more rows than bits");

// The value of a Base64 symbol, found in the alphabet.
constexpr int SymbolValue(unsigned char byte) {
    for (std::size_t value = 0; value < linkdecode::kBase64Symbols.size(); ++value) {
        if (static_cast<unsigned char>(linkdecode::kBase64Symbols[value]) == byte)
            return static_cast<int>(value);
    }
    return -1;
}

// The row a symbol's value is looked up by: its high nibble, one less for "/", which a kernel
// gets by adding the all-ones of comparing it with "/".
constexpr int ValueRow(unsigned char byte) {
    return (byte >> 4) - (byte == '/' ? 1 : 0);
}

// What to add to a symbol, by ValueRow, for its value (modulo 256).
inline constexpr Lane kValueShift = [] {
    Lane shift{};
    for (int byte = 0; byte < 256; ++byte) {
        if (IsBase64Symbol(static_cast<unsigned char>(byte)))
            shift.at[ValueRow(static_cast<unsigned char>(byte))] =
                static_cast<unsigned char>(SymbolValue(static_cast<unsigned char>(byte)) - byte);
    }
    return shift;
}();

constexpr bool ValuesHoldForEverySymbol() {
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<unsigned char>(byte);
        if (IsBase64Symbol(b) &&
            static_cast<unsigned char>(b + kValueShift.at[ValueRow(b)]) != SymbolValue(b))
            return false;
        if (IsBase64Symbol(b) != (SymbolValue(b) >= 0))
            return false;
    }
    return true;
}
static_assert(ValuesHoldForEverySymbol(), "two symbols of a row need different shifts");

// The row a value is turned into its symbol by: the value less 51, saturated at 0, with 13 for
// the capitals (values 0 to 25), which a kernel gets by a saturating subtraction and a compare.
constexpr int SymbolRow(int value) {
    return (value > 51 ? value - 51 : 0) | (value < 26 ? 13 : 0);
}

// What to add to a value, by SymbolRow, for its symbol.
inline constexpr Lane kSymbolShift = [] {
    Lane shift{};
    for (int value = 0; value < 64; ++value)
        shift.at[SymbolRow(value)] = static_cast<unsigned char>(
            static_cast<unsigned char>(linkdecode::kBase64Symbols[value]) - value);
    return shift;
}();

constexpr bool SymbolsHoldForEveryValue() {
    for (int value = 0; value < 64; ++value) {
        if (static_cast<unsigned char>(value + kSymbolShift.at[SymbolRow(value)]) !=
            static_cast<unsigned char>(linkdecode::kBase64Symbols[value]))
            return false;
    }
    return true;
}
static_assert(SymbolsHoldForEveryValue(), "two values of a row need different shifts");

}  // namespace linkdecode::simd
