// Token-file streams: the container header in its two forms, whole-file
// reading with decompression, in-memory writing with compression at close.
//
// Whoever opens a stream owns it until fioshare_file_close (or, for a write
// stream, fioshare_file_abandon), which releases it on every path. Read
// streams hold the whole (decompressed) body; write streams collect the body
// and only the close writes header and body.
//
// A write stream opened by name never half-writes its file: it writes a
// temporary file beside it, and only a close that succeeds puts that in the
// file's place (see platform::Output). A failed close, or an abandoned
// stream, leaves the file as it was and no temporary file behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/types.h"

struct sReporter;
namespace platform {
struct Output;
}

enum sFioShareFileType : sUInt {
  FIO_READ = 1,
  FIO_WRITE = 2,
};

// The compression mark as a character value.
enum sFioShareComp : sUInt {
  FIO_COMP_NONE = 64,  // "@"
  FIO_COMP_HUFF = 66,  // "B"
  FIO_COMP_ZLIB = 70,  // "F"
};

inline constexpr sUInt kContainerHeaderBytes = 16;
inline constexpr sUInt kUnicodeHeaderBytes = 34;
inline constexpr sUInt kSeekFailed = 0xFFFFFFFFu;
inline constexpr sUInt kWriteFailed = 0xFFFFFFFFu;

struct sFioShareFile {
  std::FILE* file;
  sByte header[kContainerHeaderBytes];
  sUInt body_size;
  sByte* body;
  sUInt position;
  sFioShareFileType rw;
  sUInt unicode;
  sUInt capacity;  // bytes allocated for body (>= body_size)
  // Set by fioshare_write_direct: the body goes to the file as it is
  // written, and `direct_bytes` counts what went.
  sUInt direct;
  std::uint64_t direct_bytes;
  // A stream opened by name: where its file goes (null for a file handed
  // to fioshare_file_create_ex), the bytes that went to the file, and the
  // write fault of the test hook still to come (see fioshare.cpp).
  platform::Output* output;
  std::uint64_t file_bytes;
  sUInt fault;
  std::uint64_t fault_at;
  // Set by fioshare_omit_header: the file is the body alone.
  sUInt headerless;
};

// The 8-bit header form holds these bytes; the UTF-16 form puts the two bytes
// of the byte-order mark before them and widens each to one unit.
inline constexpr sUInt kHeaderSizeOffset = 8;
inline constexpr sUInt kHeaderMarkOffset = 7;

// Why a read stream did not open: the first fault of the container met.
enum class sContainerFaultKind : sUInt {
  kNone,
  kNoSuchFile,      // nothing has the file's name
  kCannotOpen,      // the file is there but does not open
  kUnreadable,      // the file cannot be read, or is longer than 32-bit lengths count
  kTooShort,        // shorter than the 34 bytes looked at first
  kUnknownMark,     // a compression mark other than "@", "B" and "F"
  kNoCodeTable,     // mark "B" without the whole code table
  kNoBody,          // nothing behind the header (and the code table)
  kOutOfMemory,
  kSizeImpossible,  // a size field no stream of this length can fill
  kInflateShorter,  // mark "F": a sound stream that inflates to fewer bytes (`inflated`)
  kInflateLonger,   // mark "F": a sound stream that inflates to more bytes
  kInflateDamaged,  // mark "F": no sound zlib stream
  kCodeTable,       // mark "B": the table describes no complete code
  kHuffTableSize,   // mark "B": a size field below the table it counts
  kHuffData,        // mark "B": the coded data gives fewer bytes than promised
};

struct sContainerFault {
  sContainerFaultKind kind = sContainerFaultKind::kNone;
  std::uint64_t file_length = 0;
  bool unicode = false;  // the UTF-16 form of the header
  sByte mark = 0;
  sUInt size_field = 0;
  sUInt body_length = 0;  // the stored body, without a code table
  sUInt decoded = 0;      // kHuffData: the bytes the coded data gave
  sUInt inflated = 0;     // kInflateShorter: the bytes the stream gave
};

// Failed opens are reported through `rep` (a refused name with its box); a
// read stream that does not open tells why in `fault` (when given), a name
// refused before any open leaves it kNone.
sFioShareFile* fioshare_file_open(sReporter& rep, const char16_t* fname, sUInt rw, sUInt comp, int open_unicode,
                                  sContainerFault* fault = nullptr);
sFioShareFile* fioshare_file_create_ex(std::FILE* f, sFioShareFileType rw, sFioShareComp comp, int open_unicode,
                                       sContainerFault* fault = nullptr);
int fioshare_file_close(sFioShareFile* stream);
// Releases a write stream without finishing its file: a file it was to
// replace keeps what it had and the temporary file goes; a target written
// directly (a device) keeps what already went out. Other streams are simply
// closed.
void fioshare_file_abandon(sFioShareFile* stream);
std::FILE* fioshare_file_handle(sFioShareFile* stream);
// Closes a write stream made without a file (fioshare_file_create_ex with a
// null file) into `out`: container header and (compressed) body, exactly the
// bytes a file would get. Releases the stream on every path.
int fioshare_close_to_memory(sFioShareFile* stream, std::vector<sByte>& out);
int file_exists(sReporter& rep, const char16_t* name);

// A read stream over bytes held in memory, parsed exactly like a file given to
// fioshare_file_create_ex (header forms, marks, decompression). The stream has
// no file; the bytes are copied, so the caller keeps ownership of `data`.
// `fault` (when given) tells why it failed.
sFioShareFile* fioshare_open_memory(const sByte* data, sUInt size, sContainerFault* fault = nullptr);

// The fault in words, for a diagnosis ("the size field says ...").
std::u16string describe_container_fault(const sContainerFault& fault);

// Stream primitives on the in-memory body.
//
// Reads and writes are inline because the readers and writers move millions
// of tiny records through them; only a write that outgrows the allocation
// leaves the header. The body size still grows exactly to the end of the
// furthest write; `capacity` may run ahead of it so that appends stay linear.
sUInt fioshare_write_grow(sFioShareFile* stream, const void* src, sUInt count);
// The write of a direct stream (fioshare_write_direct).
sUInt fioshare_write_direct_bytes(sFioShareFile* stream, const void* src, sUInt count);

inline sUInt fioshare_read(sFioShareFile* stream, void* dst, sUInt count) {
  const sUInt left = stream->body_size - stream->position;
  if (count > left) count = left;
  if (count == 0) return 0;
  std::memcpy(dst, stream->body + stream->position, count);
  stream->position += count;
  return count;
}

inline sUInt fioshare_write(sFioShareFile* stream, const void* src, sUInt count) {
  if (count == 0) return 0;
  if (count > stream->capacity - stream->position) return fioshare_write_grow(stream, src, count);
  std::memcpy(stream->body + stream->position, src, count);
  stream->position += count;
  if (stream->position > stream->body_size) stream->body_size = stream->position;
  return count;
}

// Appends a little-endian 32-bit number: the writers' commonest write, so
// it takes the short way while the body has room.
inline sUInt fioshare_write_le32(sFioShareFile* stream, sUInt value) {
  if (stream->capacity - stream->position < 4) {
    sByte bytes[4];
    put_le32(bytes, value);
    return fioshare_write_grow(stream, bytes, 4);
  }
  put_le32(stream->body + stream->position, value);
  stream->position += 4;
  if (stream->position > stream->body_size) stream->body_size = stream->position;
  return 4;
}

// An uncompressed write stream with a file can send its body straight to
// the file, header first, instead of collecting it for the close: a large
// body then takes no memory. From then on only appends are allowed (the
// body can no longer be read, sought or rewritten) and each goes out as it
// comes, so large appends are best. The file must stay within the size a
// container may have: a write that would pass it fails. Returns 0 (and
// changes nothing) for any other stream or once a body has been written.
int fioshare_write_direct(sFioShareFile* stream);
// A write stream whose file holds its body alone, without a container
// header (a document in a foreign form). Called before anything is
// written; returns 0 for any other stream.
int fioshare_omit_header(sFioShareFile* stream);
// Whether a read stream's bytes came without a container header.
bool fioshare_is_headerless(const sFioShareFile* stream);

// Origins: 0 from the start, 1 from the end, 2 from the current position.
sUInt fioshare_seek(sFioShareFile* stream, sUInt offset, int origin);
inline sUInt fioshare_tell(sFioShareFile* stream) { return stream->position; }
sFioShareComp fioshare_get_comp(sFioShareFile* stream);
sUInt fioshare_is_unicode(sFioShareFile* stream);
// Formats (UTF-16) and appends the units little-endian, without terminator.
int fioshare_printf(sFioShareFile* stream, const char16_t* format, ...);
