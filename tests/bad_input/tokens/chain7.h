// link 7 of an include chain
#include "chain8.h"
