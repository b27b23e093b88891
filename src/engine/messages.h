// The program's console texts, kept with the library so that an error
// value carries the same words the program prints.
#pragma once

inline constexpr char16_t kMsgConfigFailed[] = u"Failed to load configuration file:\n%s\n%s";
inline constexpr char16_t kMsgSidnFailed[] = u"Failed to load SIDN definitions file:\n%s\n%s";
inline constexpr char16_t kMsgTokenDefsFailed[] = u"Failed to load Kaldo token definition files:\n%s\n%s\n\n%s";
inline constexpr char16_t kMsgNoGrammars[] = u"No BNF files successfully loaded";
inline constexpr char16_t kMsgGrammarFailed[] = u"Error loading BNF definition file:\n%s\n%s\nLine: %u\n";
inline constexpr char16_t kMsgGrammarDuplicate[] =
    u"Warning: BNF definitions for a file type found in two\ndifferently named files!\n\n"
    u"Skipping BNF file:\n%s\nFile type: '%c' (0x%02x) version: '%c' (0x%02x) already defined in:\n%s";

inline constexpr char16_t kMsgInvalidFilename[] = u"Invalid filename specified";
inline constexpr char16_t kMsgFailedToLoad[] = u"Failed to load file %s\n";
inline constexpr char16_t kMsgNoGrammar[] = u"No BNF file loaded for this file type or type version";
inline constexpr char16_t kMsgReadError[] = u"Error reading Kaldo token file: %s\n%s\nLine/offset: %u\n";
inline constexpr char16_t kMsgProgress[] = u"\nConverting %s to %s%s file %s ...\n";
inline constexpr char16_t kMsgNoExtension[] = u"Warning: No file extension specified\n\nSave operation will continue..";
inline constexpr char16_t kMsgCannotWrite[] = u"Could not write to file %s";
inline constexpr char16_t kMsgWriteError[] = u"Error while writing file %s\n%s";
