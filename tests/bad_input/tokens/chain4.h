// link 4 of an include chain
#include "chain5.h"
