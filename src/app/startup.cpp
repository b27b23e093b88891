#include "app/startup.h"



// Definitions are not loaded yet: start-up has nothing to do.
int app_startup() { return 1; }
int app_shutdown() { return 1; }
