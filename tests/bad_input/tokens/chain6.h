// link 6 of an include chain
#include "chain7.h"
