// printf-style formatting into UTF-16 buffers.
//
// Formats are UTF-16. Supported: flags "-0+ #", a width and a precision (also
// "*"), and the conversions
//   %s  a UTF-16 text (null prints as "(null)")    %S  an 8-bit text
//   %d %i %u %x %X %o  32-bit numbers ("l" and "h" size prefixes accepted)
//   %c  a UTF-16 unit   %e %f %g %E %G  a double   %%
// Output that does not fit is cut at capacity-1 units and terminated.
#pragma once

#include <cstdarg>

#include "common/types.h"

// Returns the full length the text needed (as snprintf), so a result of
// `capacity` or more means the output was cut.
sUInt vformat_text_n(char16_t* buffer, sUInt capacity, const char16_t* format, va_list args);
sUInt format_text_n(char16_t* buffer, sUInt capacity, const char16_t* format, ...);

// The caller guarantees the room (no limit is applied beyond 65536 units).
sUInt format_text(char16_t* buffer, const char16_t* format, ...);
