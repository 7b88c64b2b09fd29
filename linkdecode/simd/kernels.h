#pragma once

// The byte loops that vector instructions speed up, one table of them per instruction set.
//
// The units that compile these kernels use instructions the rest of the core may not assume, so
// this header holds only declarations: an inline function defined here and compiled there could
// be the copy the linker keeps for everyone.

#include <cstddef>

namespace linkdecode::simd {

// Bytes a renderer escapes besides the C0 controls and DEL.
struct EscapeSet {
    bool high;               // every byte of 0x80 or more
    unsigned char extra[4];  // up to four more bytes; a set of fewer repeats one of them
};

// Each kernel is exact: it gives what the scalar loop it replaces gives. A null kernel (every
// one of the scalar table) leaves the caller to its own scalar loop.
struct Kernels {
    // Decodes the longest leading run of src[0, n) made of whole quanta of four Base64 symbols
    // and returns its length; writes exactly its 3 bytes per quantum to dst.
    std::size_t (*decodeQuanta)(const unsigned char* src, std::size_t n, unsigned char* dst);
    // Where the first byte that ends a link (EndsLink) stands, or n.
    std::size_t (*findLinkEnd)(const unsigned char* p, std::size_t n);
    // Where the first `a` or `b` stands, or n.
    std::size_t (*findEither)(const unsigned char* p, std::size_t n, unsigned char a,
                              unsigned char b);
    // How many times `byte` occurs.
    std::size_t (*countByte)(const unsigned char* p, std::size_t n, unsigned char byte);
    // Where the first byte of 0x80 or more stands, or n.
    std::size_t (*findNonAscii)(const unsigned char* p, std::size_t n);
    // Where the first byte `escapes` names stands, or n.
    std::size_t (*findEscape)(const unsigned char* p, std::size_t n, const EscapeSet& escapes);
    // Encodes a leading run of whole 3-byte groups of src[0, n) as Base64 symbols into dst and
    // returns its length: all but at most a few vectors' worth of the groups.
    std::size_t (*encodeGroups)(const unsigned char* src, std::size_t n, unsigned char* dst);
};

extern const Kernels kScalarKernels;
extern const Kernels kAvx2Kernels;     // x86-64 with AVX2
extern const Kernels kAvx512Kernels;   // x86-64 with AVX-512 F, BW and VBMI
extern const Kernels kSimd128Kernels;  // WebAssembly built with SIMD128

}  // namespace linkdecode::simd
