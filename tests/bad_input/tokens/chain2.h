// link 2 of an include chain
#include "chain3.h"
