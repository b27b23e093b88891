// Start-up loads every definition a conversion needs; shutdown releases them.
#pragma once

int app_startup();
int app_shutdown();
