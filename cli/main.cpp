// vexlor: converts token files between their text and binary forms.
#include "app/entry.h"

int main(int argc, char** argv) { return vexlor_main(argc, argv); }
