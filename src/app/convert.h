// The conversion driver and output naming.
#pragma once

#include "common/types.h"

int convert_file();
