// Opening and closing token files: the container header in its 8-bit and
// UTF-16 forms, whole-file reading with decompression, and compression plus
// writing at close.
//
// Container header (16 bytes; the UTF-16 form puts 0xFF 0xFE first and widens
// every byte to a little-endian unit with high byte 0):
//   0  "KALDO"   5  "A"   6  "@"   7  compression mark "@", "F" or "B"
//   8  mark "F": body length after decompression; mark "B": that plus the
//      code table; mark "@": "@@@@"
//   12 "@@@@"
// Bytes 5, 6 and 12-15 are not checked on reading.
//
// The write-fault test hook (after SQLite's fault injection): with
// VEXLOR_WRITE_FAULT=<kind>:<N> in the environment, a write stream opened by
// name acts up once N bytes (header included) have gone to its file:
//   fail:N   that write and every later one fail, as on a full disk;
//   stop:N   the N bytes are flushed and the process stops (SIGSTOP), so that
//            a test can look at the files of a conversion caught mid-write
//            and kill it (Windows: the process ends there);
//   abort:N  the N bytes are flushed and the process aborts.
// Anything else is no fault. Each stream reads the variable when it is
// opened; nothing keeps it elsewhere. It is for tests only.
#include "container/fioshare.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/diagnosis.h"
#include "common/file_names.h"
#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"
#include "container/huffman.h"
#include "container/zlib_stream.h"
#include "platform/platform.h"

namespace {

constexpr sByte kMakerWord[5] = {'K', 'A', 'L', 'D', 'O'};
constexpr sByte kByteOrderMark[2] = {0xFF, 0xFE};
constexpr sUInt kUnicodeProbeBytes = kUnicodeHeaderBytes;
// Extra room beyond the body for compressed output.
constexpr sUInt kCompressionSlack = 1024;
// Deflate cannot expand more than 1032:1; a size field that claims more than
// this is a lie and is refused before anything is allocated for it.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kMaxFileLength = 0xFFFFFFFFull;
// direct_bytes of a direct stream whose file is incomplete.
constexpr std::uint64_t kDirectFailed = ~std::uint64_t{0};

bool begins_with_maker(const sByte* header) { return std::memcmp(header, kMakerWord, sizeof kMakerWord) == 0; }

bool is_known_mark(sByte mark) { return mark == FIO_COMP_NONE || mark == FIO_COMP_HUFF || mark == FIO_COMP_ZLIB; }

// The bytes a read stream is parsed from: an open file or a block in memory.
class ByteSource {
 public:
  explicit ByteSource(std::FILE* f) : file_(f) {}
  ByteSource(const sByte* data, sUInt size) : memory_(data), memory_size_(size) {}

  // Total length, or false when it cannot be told or is too large for the
  // 32-bit fields that describe it.
  bool length(std::uint64_t* out) const {
    if (file_ == nullptr) {
      *out = memory_size_;
      return true;
    }
    if (std::fseek(file_, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file_);
    if (end < 0 || static_cast<std::uint64_t>(end) > kMaxFileLength) return false;
    *out = static_cast<std::uint64_t>(end);
    return true;
  }

  // Reads exactly `count` bytes at `offset`.
  bool read_at(std::uint64_t offset, void* dst, sUInt count) const {
    if (file_ == nullptr) {
      if (offset > memory_size_ || count > memory_size_ - offset) return false;
      if (count != 0) std::memcpy(dst, memory_ + offset, count);
      return true;
    }
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(dst, 1, count, file_) == count;
  }

 private:
  std::FILE* file_ = nullptr;
  const sByte* memory_ = nullptr;
  std::uint64_t memory_size_ = 0;
};

sFioShareFile* new_stream(std::FILE* f, sFioShareFileType rw) {
  auto* stream = static_cast<sFioShareFile*>(vexlor_mem_alloc_fixed(sizeof(sFioShareFile)));
  if (stream == nullptr) return nullptr;
  stream->file = f;
  std::memset(stream->header, '@', sizeof stream->header);
  stream->body_size = 0;
  stream->body = nullptr;
  stream->position = 0;
  stream->rw = rw;
  stream->unicode = 0;
  stream->capacity = 0;
  stream->direct = 0;
  stream->direct_bytes = 0;
  stream->output = nullptr;
  stream->file_bytes = 0;
  stream->fault = static_cast<sUInt>(platform::WriteFault::kNone);
  stream->fault_at = 0;
  stream->headerless = 0;
  return stream;
}

// Reads the test hook's fault for a write stream: "<kind>:<N>".
void plan_write_fault(sFioShareFile* stream) {
  const char* hook = std::getenv("VEXLOR_WRITE_FAULT");
  const std::string spec = hook != nullptr ? hook : "";
  const std::size_t colon = spec.find(':');
  if (colon == std::string::npos || colon + 1 >= spec.size()) return;
  std::uint64_t after = 0;
  for (std::size_t i = colon + 1; i < spec.size(); ++i) {
    const char c = spec[i];
    if (c < '0' || c > '9' || after > (kMaxFileLength << 8)) return;
    after = after * 10 + static_cast<std::uint64_t>(c - '0');
  }
  const std::string kind = spec.substr(0, colon);
  platform::WriteFault fault = platform::WriteFault::kNone;
  if (kind == "fail") fault = platform::WriteFault::kFail;
  if (kind == "stop") fault = platform::WriteFault::kStop;
  if (kind == "abort") fault = platform::WriteFault::kAbort;
  stream->fault = static_cast<sUInt>(fault);
  stream->fault_at = after;
}

void free_stream(sFioShareFile* stream) {
  std::free(stream->body);
  std::free(stream);
}

// Replaces a compressed body with its decompression of `expected` bytes.
bool inflate_zlib(sFioShareFile* stream, sUInt expected) {
  auto* out = static_cast<sByte*>(vexlor_mem_alloc_fixed(expected));
  if (out == nullptr) return false;
  platform::prefault_memory(out, expected);  // written throughout
  if (!zlib_stream_inflate(stream->body, stream->body_size, out, expected)) {
    std::free(out);
    return false;
  }
  std::free(stream->body);
  stream->body = out;
  stream->body_size = expected;
  stream->capacity = expected;
  return true;
}

// True when the body decodes to `expected` bytes; else `decoded` holds the
// bytes the data gave (or kHuffTableRefused) and `no_memory` whether memory
// ran out first.
bool decode_huffman(sFioShareFile* stream, const sByte* table, sUInt expected, sUInt* decoded, bool* no_memory) {
  auto* out = static_cast<sByte*>(vexlor_mem_alloc_fixed(expected));
  *no_memory = out == nullptr;
  if (out == nullptr) return false;
  *decoded = huff_decode(table, stream->body, stream->body_size, out, expected);
  if (*decoded != expected) {
    std::free(out);
    return false;
  }
  std::free(stream->body);
  stream->body = out;
  stream->body_size = expected;
  stream->capacity = expected;
  return true;
}

// Records the first fault met (when asked to) and fails.
bool refuse(sContainerFault* fault, sContainerFaultKind kind) {
  if (fault != nullptr) fault->kind = kind;
  return false;
}

// Reads header and body of a read stream; false on any fault of the input,
// which `fault` (when given) tells.
bool load_stream(sFioShareFile* stream, const ByteSource& source, sContainerFault* fault = nullptr) {
  using Kind = sContainerFaultKind;
  std::uint64_t file_length = 0;
  if (!source.length(&file_length)) return refuse(fault, Kind::kUnreadable);
  if (fault != nullptr) fault->file_length = file_length;

  sByte probe[kUnicodeProbeBytes];
  if (!source.read_at(0, probe, kUnicodeProbeBytes)) {
    return refuse(fault, file_length < kUnicodeProbeBytes ? Kind::kTooShort : Kind::kUnreadable);
  }

  sUInt header_length = kContainerHeaderBytes;
  bool unicode = std::memcmp(probe, kByteOrderMark, 2) == 0;
  for (sUInt i = 0; unicode && i < sizeof kMakerWord; ++i) {
    unicode = probe[2 + 2 * i] == kMakerWord[i] && probe[3 + 2 * i] == 0;
  }
  if (unicode) {
    for (sUInt i = 0; i < kContainerHeaderBytes; ++i) stream->header[i] = probe[2 + 2 * i];
    stream->unicode = 1;
    header_length = kUnicodeHeaderBytes;
  } else {
    std::memcpy(stream->header, probe, kContainerHeaderBytes);
  }
  const sByte mark = stream->header[kHeaderMarkOffset];
  const sUInt size_field = get_le32(stream->header + kHeaderSizeOffset);
  if (fault != nullptr) {
    fault->unicode = unicode;
    fault->mark = mark;
    fault->size_field = size_field;
  }

  if (!begins_with_maker(stream->header)) {
    // No container header: the whole file is a plain body.
    std::memset(stream->header, '@', sizeof stream->header);
    header_length = 0;
    stream->headerless = 1;
  } else if (!is_known_mark(mark)) {
    return refuse(fault, Kind::kUnknownMark);
  }

  // A plain body's mark is "@" whatever its first bytes hold.
  const sByte body_mark = stream->header[kHeaderMarkOffset];
  std::uint64_t body_offset = header_length;
  std::uint64_t body_size = file_length - header_length;
  sByte table[kHuffTableBytes];
  if (body_mark == FIO_COMP_HUFF) {
    if (body_size < kHuffTableBytes) return refuse(fault, Kind::kNoCodeTable);
    if (!source.read_at(body_offset, table, kHuffTableBytes)) return refuse(fault, Kind::kUnreadable);
    body_offset += kHuffTableBytes;
    body_size -= kHuffTableBytes;
  }
  if (fault != nullptr) fault->body_length = static_cast<sUInt>(body_size);
  if (body_size == 0) return refuse(fault, Kind::kNoBody);

  stream->body = static_cast<sByte*>(vexlor_mem_alloc_fixed(static_cast<sUInt>(body_size)));
  if (stream->body == nullptr) return refuse(fault, Kind::kOutOfMemory);
  platform::prefault_memory(stream->body, static_cast<size_t>(body_size));  // read into throughout
  stream->body_size = static_cast<sUInt>(body_size);
  stream->capacity = stream->body_size;
  if (!source.read_at(body_offset, stream->body, stream->body_size)) return refuse(fault, Kind::kUnreadable);

  if (body_mark == FIO_COMP_ZLIB) {
    if (size_field > stream->body_size * kMaxDeflateRatio + kMaxDeflateRatio) {
      return refuse(fault, Kind::kSizeImpossible);
    }
    if (!inflate_zlib(stream, size_field)) {
      if (fault == nullptr) return false;
      switch (zlib_stream_examine(stream->body, stream->body_size, size_field, &fault->inflated)) {
        case sInflateFinding::kShorter: return refuse(fault, Kind::kInflateShorter);
        case sInflateFinding::kLonger: return refuse(fault, Kind::kInflateLonger);
        case sInflateFinding::kDamaged: return refuse(fault, Kind::kInflateDamaged);
        case sInflateFinding::kOutOfMemory: break;
      }
      return refuse(fault, Kind::kOutOfMemory);
    }
  } else if (body_mark == FIO_COMP_HUFF) {
    if (size_field < kHuffTableBytes) return refuse(fault, Kind::kHuffTableSize);
    const sUInt expected = size_field - kHuffTableBytes;
    // Every decoded byte takes at least one bit of coded data.
    if (static_cast<std::uint64_t>(expected) > static_cast<std::uint64_t>(stream->body_size) * 8) {
      return refuse(fault, Kind::kSizeImpossible);
    }
    sUInt decoded = 0;
    bool no_memory = false;
    if (!decode_huffman(stream, table, expected, &decoded, &no_memory)) {
      if (no_memory) return refuse(fault, Kind::kOutOfMemory);
      if (decoded == kHuffTableRefused) return refuse(fault, Kind::kCodeTable);
      if (fault != nullptr) fault->decoded = decoded;
      return refuse(fault, Kind::kHuffData);
    }
  }
  stream->position = 0;
  return true;
}

void build_write_header(sFioShareFile* stream, sFioShareComp comp) {
  sByte* h = stream->header;
  std::memcpy(h, kMakerWord, sizeof kMakerWord);
  h[5] = 'A';
  h[6] = '@';
  h[kHeaderMarkOffset] = (comp == FIO_COMP_HUFF || comp == FIO_COMP_ZLIB) ? static_cast<sByte>(comp) : '@';
  // Filled at close for a compressed body; 0 stays when none is ever written.
  if (h[kHeaderMarkOffset] == '@') {
    std::memset(h + kHeaderSizeOffset, '@', 4);
  } else {
    put_le32(h + kHeaderSizeOffset, 0);
  }
  std::memset(h + 12, '@', 4);
}

// Compresses the body of a write stream into `*out` (owned by the caller) and
// sets the size field. Leaves `*out` null when the body is stored as it is.
bool compress_body(sFioShareFile* stream, sByte** out, sUInt* out_length) {
  *out = nullptr;
  *out_length = stream->body_size;
  const sByte mark = stream->header[kHeaderMarkOffset];
  if (mark == '@' || stream->body_size == 0) return true;

  std::uint64_t capacity = static_cast<std::uint64_t>(stream->body_size) + kCompressionSlack;
  if (mark == FIO_COMP_ZLIB) {
    // Incompressible bodies over a few megabytes need more than the fixed
    // slack; give the compressor what it says it may need rather than fail
    // the close.
    const std::uint64_t bound = zlib_stream_bound(stream->body_size);
    if (bound > capacity) capacity = bound;
  }
  if (capacity > kMaxFileLength) return false;
  auto* buffer = static_cast<sByte*>(vexlor_mem_alloc_fixed(static_cast<sUInt>(capacity)));
  if (buffer == nullptr) return false;

  if (mark == FIO_COMP_ZLIB) {
    sUInt produced = 0;
    if (!zlib_stream_compress(stream->body, stream->body_size, buffer, capacity, &produced)) {
      std::free(buffer);
      return false;
    }
    put_le32(stream->header + kHeaderSizeOffset, stream->body_size);
    *out_length = produced;
  } else {
    sUInt produced = 0;
    if (stream->body_size > kMaxFileLength - kHuffTableBytes ||
        !huff_encode(stream->body, stream->body_size, buffer, static_cast<sUInt>(capacity), &produced)) {
      std::free(buffer);
      return false;
    }
    put_le32(stream->header + kHeaderSizeOffset, stream->body_size + kHuffTableBytes);
    *out_length = produced;
  }
  *out = buffer;
  return true;
}

bool write_all(std::FILE* f, const void* data, std::size_t count) {
  return count == 0 || std::fwrite(data, 1, count, f) == count;
}

// Every write to a stream's file: counts the bytes, and meets the fault of
// the test hook when they reach it.
bool write_out(sFioShareFile* stream, const void* data, std::size_t count) {
  const auto fault = static_cast<platform::WriteFault>(stream->fault);
  if (fault != platform::WriteFault::kNone && stream->file_bytes + count > stream->fault_at) {
    const auto part = static_cast<std::size_t>(stream->fault_at - stream->file_bytes);
    const bool flushed = write_all(stream->file, data, part) && std::fflush(stream->file) == 0;
    stream->file_bytes += part;
    // A failing file fails from here on: the fault stays where it is.
    if (fault == platform::WriteFault::kFail || !flushed) return false;
    platform::write_fault_strike(fault);
    // A stopped process let go on writes the rest.
    stream->fault = static_cast<sUInt>(platform::WriteFault::kNone);
    data = static_cast<const sByte*>(data) + part;
    count -= part;
  }
  if (!write_all(stream->file, data, count)) return false;
  stream->file_bytes += count;
  return true;
}

std::uint64_t header_bytes(const sFioShareFile* stream) {
  if (stream->headerless) return 0;
  return stream->unicode ? kUnicodeHeaderBytes : kContainerHeaderBytes;
}

// The container header as it goes to the file: 16 bytes, or 34 in the
// UTF-16 form. `out` holds kUnicodeHeaderBytes.
sUInt header_image(const sFioShareFile* stream, sByte* out) {
  if (stream->headerless) return 0;
  if (!stream->unicode) {
    std::memcpy(out, stream->header, kContainerHeaderBytes);
    return kContainerHeaderBytes;
  }
  out[0] = kByteOrderMark[0];
  out[1] = kByteOrderMark[1];
  for (sUInt i = 0; i < kContainerHeaderBytes; ++i) {
    out[2 + 2 * i] = stream->header[i];
    out[3 + 2 * i] = 0;
  }
  return kUnicodeHeaderBytes;
}

bool write_header(sFioShareFile* stream) {
  sByte image[kUnicodeHeaderBytes];
  return write_out(stream, image, header_image(stream, image));
}

// Compresses and writes header and body; the stream itself is released by
// the caller.
bool finish_write_stream(sFioShareFile* stream) {
  if (stream->file == nullptr) return false;
  if (stream->direct) return stream->direct_bytes != kDirectFailed;
  sByte* compressed = nullptr;
  sUInt body_length = 0;
  if (!compress_body(stream, &compressed, &body_length)) return false;
  const sByte* body = compressed != nullptr ? compressed : stream->body;
  // A file that could not be opened again (its length would not fit the
  // 32-bit sizes) is not written at all.
  if (header_bytes(stream) + body_length > kMaxFileLength) {
    std::free(compressed);
    return false;
  }

  bool ok = write_header(stream) && write_out(stream, body, body_length);
  std::free(compressed);
  return ok;
}

}  // namespace

int fioshare_close_to_memory(sFioShareFile* stream, std::vector<sByte>& out) {
  if (stream == nullptr) return 0;
  bool ok = stream->rw == FIO_WRITE && stream->file == nullptr && !stream->direct;
  sByte* compressed = nullptr;
  sUInt body_length = 0;
  if (ok) ok = compress_body(stream, &compressed, &body_length);
  const sByte* body = compressed != nullptr ? compressed : stream->body;
  if (ok && header_bytes(stream) + body_length > kMaxFileLength) ok = false;
  if (ok) {
    sByte image[kUnicodeHeaderBytes];
    const sUInt header_length = header_image(stream, image);
    out.assign(image, image + header_length);
    out.insert(out.end(), body, body + body_length);
  }
  std::free(compressed);
  // A stream with a file is refused: it is given up like any other, and its
  // file left as it was.
  if (stream->file != nullptr || stream->output != nullptr) {
    fioshare_file_abandon(stream);
  } else {
    free_stream(stream);
  }
  return ok ? 1 : 0;
}

int fioshare_write_direct(sFioShareFile* stream) {
  if (stream == nullptr || stream->rw != FIO_WRITE || stream->file == nullptr || stream->direct ||
      stream->header[kHeaderMarkOffset] != FIO_COMP_NONE || stream->body_size != 0) {
    return 0;
  }
  std::free(stream->body);
  stream->body = nullptr;
  stream->capacity = 0;
  stream->position = 0;
  stream->direct = 1;
  stream->direct_bytes = header_bytes(stream);
  if (!write_header(stream)) stream->direct_bytes = kDirectFailed;
  return 1;
}

int fioshare_omit_header(sFioShareFile* stream) {
  if (stream == nullptr || stream->rw != FIO_WRITE || stream->direct || stream->body_size != 0 ||
      stream->header[kHeaderMarkOffset] != FIO_COMP_NONE) {
    return 0;
  }
  stream->headerless = 1;
  stream->unicode = 0;
  return 1;
}

bool fioshare_is_headerless(const sFioShareFile* stream) {
  return stream != nullptr && stream->rw == FIO_READ && stream->headerless != 0;
}

sUInt fioshare_write_direct_bytes(sFioShareFile* stream, const void* src, sUInt count) {
  // Once a write has failed the file is incomplete: nothing more goes out.
  if (stream->direct_bytes == kDirectFailed) return kWriteFailed;
  if (stream->direct_bytes + count > kMaxFileLength || !write_out(stream, src, count)) {
    stream->direct_bytes = kDirectFailed;
    return kWriteFailed;
  }
  stream->direct_bytes += count;
  return count;
}

sFioShareFile* fioshare_file_create_ex(std::FILE* f, sFioShareFileType rw, sFioShareComp comp, int open_unicode,
                                      sContainerFault* fault) {
  sFioShareFile* stream = new_stream(f, rw);
  if (stream == nullptr) {
    if (fault != nullptr) fault->kind = sContainerFaultKind::kOutOfMemory;
    return nullptr;
  }
  if (rw == FIO_READ) {
    if (f == nullptr || !load_stream(stream, ByteSource(f), fault)) {
      free_stream(stream);
      return nullptr;
    }
    return stream;
  }
  stream->unicode = open_unicode != 0 ? 1 : 0;
  build_write_header(stream, comp);
  return stream;
}

sFioShareFile* fioshare_open_memory(const sByte* data, sUInt size, sContainerFault* fault) {
  if (data == nullptr && size != 0) return nullptr;
  sFioShareFile* stream = new_stream(nullptr, FIO_READ);
  if (stream == nullptr) {
    if (fault != nullptr) fault->kind = sContainerFaultKind::kOutOfMemory;
    return nullptr;
  }
  if (!load_stream(stream, ByteSource(data, size), fault)) {
    free_stream(stream);
    return nullptr;
  }
  return stream;
}

std::u16string describe_container_fault(const sContainerFault& fault) {
  using Kind = sContainerFaultKind;
  const std::u16string size_says = u"the size field says " + decimal_text(fault.size_field) + u" bytes";
  switch (fault.kind) {
    case Kind::kNone: break;
    case Kind::kNoSuchFile: return u"no such file";
    case Kind::kCannotOpen: return kCannotOpen;
    case Kind::kUnreadable: return u"cannot be read";
    case Kind::kTooShort:
      return u"a token file is at least " + decimal_text(kUnicodeProbeBytes) + u" bytes long; this one has " +
             decimal_text(static_cast<sUInt>(fault.file_length));
    case Kind::kUnknownMark:
      return u"unknown compression mark " + quoted_bytes(&fault.mark, 1) +
             u" in the container header; expected '@' (none), 'B' (Huffman) or 'F' (zlib)";
    case Kind::kNoCodeTable:
      return u"compression mark 'B', but the file ends before the " + decimal_text(kHuffTableBytes) +
             u"-byte code table does";
    case Kind::kNoBody:
      return fault.mark == FIO_COMP_HUFF ? u"compression mark 'B', but no coded data follows the code table"
                                         : u"the container holds no body";
    case Kind::kOutOfMemory: return kOutOfMemory;
    case Kind::kSizeImpossible:
      return size_says + u", more than " + decimal_text(fault.body_length) +
             (fault.mark == FIO_COMP_ZLIB ? u" bytes of zlib stream can inflate to"
                                          : u" bytes of Huffman code can hold");
    case Kind::kInflateShorter:
      return size_says + u", but the zlib stream inflates to " + decimal_text(fault.inflated);
    case Kind::kInflateLonger: return size_says + u", but the zlib stream inflates to more";
    case Kind::kInflateDamaged: return u"the zlib stream of the body is damaged or cut short";
    case Kind::kCodeTable: return u"the Huffman code table describes no complete code";
    case Kind::kHuffTableSize:
      return size_says + u", fewer than the " + decimal_text(kHuffTableBytes) + u" bytes of the code table it counts";
    case Kind::kHuffData:
      return size_says + u" (" + decimal_text(kHuffTableBytes) +
             u" of them the code table), but the coded data ends after " + decimal_text(fault.decoded);
  }
  return {};
}

sFioShareFile* fioshare_file_open(sReporter& rep, const char16_t* fname, sUInt rw, sUInt comp, int open_unicode,
                                  sContainerFault* fault) {
  // A name the system cannot represent is refused with the message box
  // alone, without a report.
  if (fname != nullptr && !file_name_usable(rep, fname)) return nullptr;

  std::FILE* f = nullptr;
  platform::Output* output = nullptr;
  if (rw == FIO_READ) {
    errno = 0;
    f = platform::open_file(fname, "rb");
    if (f == nullptr && fault != nullptr) {
      fault->kind = errno == ENOENT ? sContainerFaultKind::kNoSuchFile : sContainerFaultKind::kCannotOpen;
    }
    if (!VX_CHECK(rep, kModuleAppUtil, 292, f != nullptr, "(f = fopen (fname, \"rb\")) != 0")) return nullptr;
  } else {
    if (!VX_CHECK(rep, kModuleAppUtil, 294, (output = platform::open_output(fname)) != nullptr,
                  "(f = fopen (fname, \"w+b\")) != 0")) {
      return nullptr;
    }
    f = platform::output_file(output);
  }

  sFioShareFile* fp = nullptr;
  if (!VX_CHECK(rep, kModuleAppUtil, 307,
                (fp = fioshare_file_create_ex(f, static_cast<sFioShareFileType>(rw), static_cast<sFioShareComp>(comp),
                                              open_unicode != 0 ? 1 : 0, fault)) != nullptr,
                "(fp = fioshare_file_create_ex (f, (enum sFioShareFileType) rw, (enum sFioShareComp) comp, "
                "open_unicode)) != 0")) {
    if (output != nullptr) {
      platform::close_output(output, false);
    } else {
      std::fclose(f);
    }
    return nullptr;
  }
  if (output != nullptr) {
    fp->output = output;
    plan_write_fault(fp);
  }
  return fp;
}

namespace {

// Closes the stream's file: a stream opened by name puts its file in place
// only when `keep`; one made on a file handed over closes that file.
bool close_file(sFioShareFile* stream, bool keep) {
  if (stream->output != nullptr) return platform::close_output(stream->output, keep) && keep;
  return stream->file == nullptr || std::fclose(stream->file) == 0;
}

}  // namespace

int fioshare_file_close(sFioShareFile* stream) {
  if (stream == nullptr) return 0;
  bool ok = true;
  if (stream->rw != FIO_READ) ok = finish_write_stream(stream);
  if (!close_file(stream, ok) && stream->rw != FIO_READ) ok = false;
  free_stream(stream);
  return ok ? 1 : 0;
}

void fioshare_file_abandon(sFioShareFile* stream) {
  if (stream == nullptr) return;
  close_file(stream, false);
  free_stream(stream);
}

std::FILE* fioshare_file_handle(sFioShareFile* stream) { return stream != nullptr ? stream->file : nullptr; }

int file_exists(sReporter& rep, const char16_t* name) {
  std::FILE* f = open_file_utf16(rep, name, "rb");
  if (f == nullptr) return 0;
  std::fclose(f);
  return 1;
}
