// The codec of compression mark "B": a canonical Huffman code over the 256
// byte values plus an end code, limited to 11 bits, described by a 308-byte
// code table that precedes the coded data.
//
// Code table (all numbers unsigned 32-bit little-endian):
//   0   coded length in bytes (a multiple of 4)
//   4   uncompressed length
//   8   eleven counts: codes of length 1, 2, ..., 11
//   52  the 256 byte values by rising frequency (least frequent first); the
//       end code is not listed and counts as the least frequent symbol
// Coded data: 32-bit little-endian words filled from bit 0 upwards; each code
// enters the stream most significant bit first; the end code follows the
// last byte and the rest of the last word is zero.
#pragma once

#include "common/types.h"

inline constexpr sUInt kHuffTableBytes = 308;
inline constexpr sUInt kHuffMaxCodeLength = 11;
inline constexpr sUInt kHuffSymbols = 257;  // 256 byte values and the end code
inline constexpr sUInt kHuffTableCodedLengthOffset = 0;
inline constexpr sUInt kHuffTableDataLengthOffset = 4;
inline constexpr sUInt kHuffTableCountsOffset = 8;
inline constexpr sUInt kHuffTableByteListOffset = 52;

// Result of huff_decode for a code table that does not describe a complete
// code of at most 257 codes. It never equals a length the container expects.
inline constexpr sUInt kHuffTableRefused = 0xFFFFFFFFu;

// Writes the code table and the coded data of `data` into `output`, which
// holds `capacity` bytes, and sets `output_length` to 308 + coded length.
// Fails (writing nothing beyond `capacity`) when the result would not fit.
bool huff_encode(const sByte* data, sUInt size, sByte* output, sUInt capacity, sUInt* output_length);

// Decodes `coded` (coded_length bytes, the data after the table) into
// `output`, which holds `expected_length` bytes, and returns the number of
// bytes produced: fewer than expected when the data ends early or the end
// code comes first, never more. A damaged table yields kHuffTableRefused.
sUInt huff_decode(const sByte* table, const sByte* coded, sUInt coded_length, sByte* output,
                  sUInt expected_length);

// True when the counts of `table` describe a complete code of at most 257
// codes (the only tables huff_decode accepts).
bool huff_table_is_complete(const sByte* table);
