// Arbitrary bytes as a whole token file: both container header forms, every
// compression mark, damaged size fields, code tables and zlib streams.
// Whatever opens must be readable to its end and seekable within its body;
// whatever does not is told in words, and the telling agrees with the open.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "container/fioshare.h"
#include "shape/read_diagnosis.h"
#include "shape/shape_tree.h"
#include "shape/token_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  sContainerFault fault;
  sFioShareFile* stream = fioshare_open_memory(data, static_cast<sUInt>(size), &fault);
  sReadDiagnosis json;
  if (stream == nullptr) {
    if (fault.kind == sContainerFaultKind::kNone || explain_unopened(nullptr, fault, json).empty()) std::abort();
    return 0;
  }
  if (fault.kind != sContainerFaultKind::kNone) std::abort();
  // A body header that reads has nothing to tell; one that does not, has.
  sByte header[16];
  const bool readable = read_body_header(stream, header) != 0;
  const bool told = !explain_unopened(stream, fault, json).empty() || json.failure != sReadFailure::kNone;
  if (readable == told) std::abort();
  if (fioshare_seek(stream, 0, 0) != 0) std::abort();

  // The body is held whole: its end is where reading stops.
  const sUInt body_size = fioshare_seek(stream, 0, 1);
  if (body_size == kSeekFailed || fioshare_tell(stream) != body_size) std::abort();
  if (fioshare_seek(stream, 0, 0) != 0) std::abort();
  std::vector<sByte> body(body_size + 1);
  if (fioshare_read(stream, body.data(), body_size + 1) != body_size) std::abort();
  if (fioshare_read(stream, body.data(), 1) != 0) std::abort();
  // Seeking past the end is refused and leaves the position alone.
  if (fioshare_seek(stream, body_size + 1, 0) != kSeekFailed || fioshare_tell(stream) != body_size) std::abort();
  if (body_size >= 2 && fioshare_seek(stream, static_cast<sUInt>(-2), 2) != body_size - 2) std::abort();

  const sFioShareComp comp = fioshare_get_comp(stream);
  if (comp != FIO_COMP_NONE && comp != FIO_COMP_HUFF && comp != FIO_COMP_ZLIB) std::abort();
  fioshare_is_unicode(stream);
  if (!fioshare_file_close(stream)) std::abort();
  return 0;
}
