// link 5 of an include chain
#include "chain6.h"
