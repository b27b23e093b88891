// The codec of compression mark "F": one zlib stream (deflate data in the
// zlib wrapper, Adler-32 checksum), compressed and inflated whole, in memory.
//
// The deflate library behind it is chosen when the library is built
// (VEXLOR_DEFLATE: libdeflate or zlib, see cmake/VexlorDeflate.cmake); both
// write standard streams and inflate every standard stream, so files move
// freely between builds. The compressed bytes themselves differ between the
// libraries: only what a stream inflates to is fixed. One build always writes
// the same bytes for the same body.
#pragma once

#include <cstdint>

#include "common/types.h"

// Bytes a compressed stream of `size` body bytes may need at most.
std::uint64_t zlib_stream_bound(sUInt size);

// Compresses `size` bytes of `data` into `output` (`capacity` bytes, at least
// zlib_stream_bound(size) to be sure to fit) at the default level and sets
// `output_length`. False when the stream does not fit or memory runs out.
bool zlib_stream_compress(const sByte* data, sUInt size, sByte* output, std::uint64_t capacity,
                          sUInt* output_length);

// Inflates the stream in `coded` (coded_length bytes; bytes after the end of
// the stream are not looked at) into `output`, which holds exactly
// `expected_length` bytes. True only for a whole, sound stream (checksum
// included) that inflates to exactly `expected_length` bytes.
bool zlib_stream_inflate(const sByte* coded, sUInt coded_length, sByte* output, sUInt expected_length);

// What a stream that zlib_stream_inflate refused holds, for telling the
// user why: a sound stream of another length (`length`: what it inflates to,
// when that is fewer bytes than expected), one longer than expected, or
// damaged or cut short data. Both deflate libraries tell the same.
enum class sInflateFinding { kShorter, kLonger, kDamaged, kOutOfMemory };
sInflateFinding zlib_stream_examine(const sByte* coded, sUInt coded_length, sUInt expected_length, sUInt* length);

// The deflate library of this build: "libdeflate" or "zlib".
const char* zlib_stream_library();
