// Core tokens, shared by every kind of token file.
#define SIDSTR_PREFIX SID_DECLARE_STR_PREFIX(SIDSTR_CORE_)

SID_DEFINE_FIRST_ID(SIDN_CORE)

SIDDEF(SID_MATERIAL, "Material")
SIDDEF(SID_COLOUR, "Colour")
SIDDEF(SID_RGBA, "rgba")
SIDDEF(SID_RGB, "rgb")
SIDDEF(SID_SHININESS, "Shininess")
SIDDEF(SID_TEXTURE, "Texture")
SIDDEF(SID_SHADING, "Shading")
SIDDEF(SID_FLAT, "Flat")
SIDDEF(SID_SMOOTH, "Smooth")
#include "core_ids.h"
