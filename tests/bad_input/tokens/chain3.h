// link 3 of an include chain
#include "chain4.h"
