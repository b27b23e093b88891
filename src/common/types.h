// Basic types shared by every module.
//
// Text inside the program is UTF-16: one char16_t unit per character, strings
// ended by a zero unit, lengths counted in units. Numbers in files are 32-bit.
#pragma once

#include <cstddef>
#include <cstdint>

using sUInt = std::uint32_t;
using sInt = std::int32_t;
using sByte = std::uint8_t;

// Paths are held in buffers of this many units, terminator included.
inline constexpr sUInt kPathCapacity = 260;
