// The kinds of tile a level row is made of.
SID_DEFINE_FIRST_ID(SIDN_TILE)

SIDDEF(SID_GRASS, "grass")
SIDDEF(SID_SAND, "sand")
SIDDEF(SID_WATER, "water")
SIDDEF(SID_WALL, "wall")
