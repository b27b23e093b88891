// Numbers in files are little-endian: these read and write them byte by
// byte, whatever the alignment of the bytes and the order of the machine.
#pragma once

#include "common/types.h"

inline sUInt get_le32(const sByte* p) {
  return static_cast<sUInt>(p[0]) | (static_cast<sUInt>(p[1]) << 8) | (static_cast<sUInt>(p[2]) << 16) |
         (static_cast<sUInt>(p[3]) << 24);
}

inline void put_le32(sByte* p, sUInt v) {
  p[0] = static_cast<sByte>(v);
  p[1] = static_cast<sByte>(v >> 8);
  p[2] = static_cast<sByte>(v >> 16);
  p[3] = static_cast<sByte>(v >> 24);
}

inline sUInt get_le16(const sByte* p) { return static_cast<sUInt>(p[0]) | (static_cast<sUInt>(p[1]) << 8); }

inline void put_le16(sByte* p, sUInt v) {
  p[0] = static_cast<sByte>(v);
  p[1] = static_cast<sByte>(v >> 8);
}
