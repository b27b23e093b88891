// The program's entry operation. main() hands over argc/argv (used on POSIX
// to rebuild the command line) and returns the exit status this gives.
#pragma once

inline constexpr const char16_t* kUsageText =
    u"\nUsage: <file> [/k] [/c | /u] [/o:<output_file>]\n"
    u"where output_file is of the form: [path][file]<extension>\n"
    u"If no file part is specified (e.g. \\dev\\data\\.dat) then the file will be\n"
    u"given the same filename as the source file.  If no path is given, the file will\n"
    u"be written to the current directory.\n"
    u"  /k - check source file (no output file spec required)\n"
    u"  /c - compress output file (default is to compress only binary output files)\n"
    u"  /u - do not compress output file";

int vexlor_main(int argc, char** argv);
