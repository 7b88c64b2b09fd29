#pragma once

// Byte classes the core's rules are written in. Every test is made on the byte as an unsigned
// value, so a byte of 0x80 or more never reaches <cctype>, whose behaviour on it is undefined.

namespace linkdecode {

// One of the 64 symbols of the standard Base64 alphabet: A-Z, a-z, 0-9, "+" and "/".
constexpr bool IsBase64Symbol(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '+' || byte == '/';
}

// A byte that ends a link found in a text: space, tab, line break, vertical tab, form feed, '"',
// "'", "<" and ">".
constexpr bool EndsLink(unsigned char byte) {
    switch (byte) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
        case '"':
        case '\'':
        case '<':
        case '>':
            return true;
        default:
            return false;
    }
}

// An ASCII capital as its small letter; every other byte unchanged.
constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a hexadecimal digit in either case, or -1.
constexpr int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// Code page 936: a lead byte and the byte after it form one character.
constexpr bool IsLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace linkdecode
