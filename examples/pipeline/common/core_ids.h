// Core tokens, shared by palettes and levels.
#define SIDSTR_PREFIX SID_DECLARE_STR_PREFIX(SIDSTR_CORE_)

SID_DEFINE_FIRST_ID(SIDN_CORE)

SIDDEF(SID_TITLE, "Title")
SIDDEF(SID_COLOUR, "Colour")
SIDDEF(SID_RGBA, "rgba")
