// Both implementations of zlib_stream.h; the build defines
// VEXLOR_DEFLATE_LIBDEFLATE for the one that uses libdeflate.
#include "container/zlib_stream.h"

#if defined(VEXLOR_DEFLATE_LIBDEFLATE)
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

#include <memory>
#include <new>

namespace {

// zlib's default level; libdeflate's level 6 compresses as well or better,
// in a quarter of the time.
constexpr int kLevel = 6;
constexpr std::uint64_t kMaxLength = 0xFFFFFFFFull;

}  // namespace

#if defined(VEXLOR_DEFLATE_LIBDEFLATE)

namespace {

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

std::uint64_t zlib_stream_bound(sUInt size) {
  // The bound does not depend on the compressor (libdeflate accepts null).
  return libdeflate_zlib_compress_bound(nullptr, size);
}

bool zlib_stream_compress(const sByte* data, sUInt size, sByte* output, std::uint64_t capacity,
                          sUInt* output_length) {
  std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(libdeflate_alloc_compressor(kLevel));
  if (compressor == nullptr) return false;
  if (capacity > kMaxLength) capacity = kMaxLength;
  const std::size_t produced =
      libdeflate_zlib_compress(compressor.get(), data, size, output, static_cast<std::size_t>(capacity));
  if (produced == 0) return false;  // did not fit
  *output_length = static_cast<sUInt>(produced);
  return true;
}

bool zlib_stream_inflate(const sByte* coded, sUInt coded_length, sByte* output, sUInt expected_length) {
  std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
  if (decompressor == nullptr) return false;
  std::size_t produced = 0;
  const libdeflate_result rc =
      libdeflate_zlib_decompress(decompressor.get(), coded, coded_length, output, expected_length, &produced);
  return rc == LIBDEFLATE_SUCCESS && produced == expected_length;
}

sInflateFinding zlib_stream_examine(const sByte* coded, sUInt coded_length, sUInt expected_length, sUInt* length) {
  *length = 0;
  std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
  // One byte more than expected tells a longer stream from one that fits.
  const std::size_t room = static_cast<std::size_t>(expected_length) + 1;
  std::unique_ptr<sByte[]> output(new (std::nothrow) sByte[room]);
  if (decompressor == nullptr || output == nullptr) return sInflateFinding::kOutOfMemory;
  std::size_t produced = 0;
  const libdeflate_result rc =
      libdeflate_zlib_decompress(decompressor.get(), coded, coded_length, output.get(), room, &produced);
  if (rc == LIBDEFLATE_INSUFFICIENT_SPACE || (rc == LIBDEFLATE_SUCCESS && produced > expected_length)) {
    return sInflateFinding::kLonger;
  }
  if (rc != LIBDEFLATE_SUCCESS) return sInflateFinding::kDamaged;
  *length = static_cast<sUInt>(produced);
  return sInflateFinding::kShorter;
}

const char* zlib_stream_library() { return "libdeflate"; }

#else

std::uint64_t zlib_stream_bound(sUInt size) { return compressBound(size); }

bool zlib_stream_compress(const sByte* data, sUInt size, sByte* output, std::uint64_t capacity,
                          sUInt* output_length) {
  if (capacity > kMaxLength) capacity = kMaxLength;
  uLongf produced = static_cast<uLongf>(capacity);
  if (compress2(output, &produced, data, size, kLevel) != Z_OK) return false;
  *output_length = static_cast<sUInt>(produced);
  return true;
}

bool zlib_stream_inflate(const sByte* coded, sUInt coded_length, sByte* output, sUInt expected_length) {
  uLongf produced = expected_length;
  return uncompress(output, &produced, coded, coded_length) == Z_OK && produced == expected_length;
}

sInflateFinding zlib_stream_examine(const sByte* coded, sUInt coded_length, sUInt expected_length, sUInt* length) {
  *length = 0;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return sInflateFinding::kOutOfMemory;
  z.next_in = const_cast<Bytef*>(coded);
  z.avail_in = coded_length;
  // The output is counted, not kept; past the expected length the stream
  // is longer than the size field says, whatever follows.
  sByte scratch[1 << 14];
  std::uint64_t total = 0;
  int rc = Z_OK;
  while (rc == Z_OK && total <= expected_length) {
    z.next_out = scratch;
    z.avail_out = sizeof scratch;
    rc = inflate(&z, Z_NO_FLUSH);
    total += sizeof scratch - z.avail_out;
    if (rc == Z_BUF_ERROR || (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0)) rc = Z_DATA_ERROR;  // cut short
  }
  inflateEnd(&z);
  if (total > expected_length) return sInflateFinding::kLonger;
  if (rc == Z_MEM_ERROR) return sInflateFinding::kOutOfMemory;
  if (rc != Z_STREAM_END) return sInflateFinding::kDamaged;
  *length = static_cast<sUInt>(total);
  return sInflateFinding::kShorter;
}

const char* zlib_stream_library() { return "zlib"; }

#endif
