// link 1 of an include chain
#include "chain2.h"
