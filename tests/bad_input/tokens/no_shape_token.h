// Application tokens: shapes here, material libraries in the included file.
#define SIDSTR_PREFIX SID_DECLARE_STR_PREFIX(SIDSTR_SHAPE_)

SID_DEFINE_FIRST_ID(SIDN_SHAPE)

SIDDEF(SID_INFO, "Info")
SIDDEF(SID_MATERIALS, "Materials")
SIDDEF(SID_MESH, "Mesh")
SIDDEF(SID_VERTICES, "Vertices")
SIDDEF(SID_NORMALS, "Normals")
SIDDEF(SID_TEXCOORDS, "TexCoords")
SIDDEF(SID_FACES, "Faces")
SIDDEF(SID_USEMATERIAL, "UseMaterial")
SIDDEF(SID_DRAWORDER, "DrawOrder")

#include "library_ids.h"
