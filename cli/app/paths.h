// Path operations of the output naming.
//
// Paths are UTF-16 texts. "\" and "/" separate directories on every
// platform; ":" ends a drive and counts as a separator where a file name is
// looked for (path_find_ext, path_base_name), not in path_find_name.
#pragma once

#include "common/types.h"

// The last "." of the path's last component, or null (also for an empty or
// null path).
const char16_t* path_find_ext(const char16_t* path);
// The character after the last directory separator, or the whole path.
const char16_t* path_find_name(const char16_t* path);
// The last component without its extension, copied into `buffer`
// (kPathCapacity units); null when that text is empty.
const char16_t* path_base_name(const char16_t* path, char16_t* buffer);

inline constexpr sUInt kMaxExtensionUnits = 127;

// Completes the output name [path][file]<extension> in place: a missing file
// part becomes `base`. Fails when base is empty or null, the extension is
// longer than kMaxExtensionUnits or the result would not fit in `capacity`
// units (terminator included).
int make_output_name(char16_t* out, sUInt capacity, const char16_t* base);
// Whether an output spec names its file ([path]file<extension>), so that
// make_output_name leaves it as it is.
bool output_spec_has_file_part(const char16_t* spec);
