// Level tokens; the kinds of tile are in the included file.
#define SIDSTR_PREFIX SID_DECLARE_STR_PREFIX(SIDSTR_LEVEL_)

SID_DEFINE_FIRST_ID(SIDN_LEVEL)

SIDDEF(SID_LEVEL, "Level")
SIDDEF(SID_SIZE, "Size")
SIDDEF(SID_ROW, "Row")
SIDDEF(SID_SPAWN, "Spawn")

#include "tile_ids.h"
