// The builder's options in the order its usage text lists them: each
// option's word (after its prefix), whether it takes a parameter, what a
// self-extractor's option block keeps of it, and how the usage texts show it.
// One table drives the command-line parser, both usage texts, the block's
// writer and reader and `qpk info`: adding an option is one row here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/layout.h"

struct option_definition {
  const char* word;
  bool takes_parameter;
  uint32_t flag;          // the option-block bit it sets; 0 for none
  bool flag_when_absent;  // the bit means the option was NOT given
  uint16_t field_offset;  // where the block keeps its parameter ...
  uint16_t field_size;    // ... as zero-terminated text; 0 for none
  const char* shown_as;   // what `qpk info` calls the bit or the field
  const char* usage;      // the builder's usage line after the word
  const char* parameter_name;  // the parameter in qpk's usage; null for none
};

inline constexpr option_definition OPTION_DEFINITIONS[] = {
    {"q1", false, SEF_SILENT, false, 0, 0, "silent", "\t\tSilent mode (no output)", nullptr},
    {"q2", false, SEF_QUIET, false, 0, 0, "quiet", "\t\tQuiet mode (only errors)", nullptr},
    {"nopath", false, SEF_USE_PATHS, true, 0, 0, "use-paths", "\t\tDon't create subdirectories on extract", nullptr},
    {"y", false, SEF_AUTO_YES, false, 0, 0, "auto-yes", "\t\tAutomatically respond 'Yes' to interaction", nullptr},
    {"n", false, SEF_AUTO_NO, false, 0, 0, "auto-no", "\t\tAutomatically respond 'No' to interaction", nullptr},
    {"deleteafter", false, SEF_DELETE_AFTER, false, 0, 0, "delete-after", "\tDelete extracted files before exiting",
     nullptr},
    {"forcedeleteprompt", false, SEF_FORCE_DELETE_PROMPT, false, 0, 0, "force-delete-prompt",
     "\tForce prompt before deleting (doesn't wait for launched file to exit)", nullptr},
    {"e", true, 0, false, offsetof(option_block, command), OPTION_COMMAND_SIZE, "Command",
     " [$(Destination)\\]{command}   Execute {command} after extracting\n"
     "                                {command} should include 'start' if\n"
     "                                you are trying to use file association",
     "COMMAND"},
    {"nosplash", false, 0, false, 0, 0, nullptr, "\t\tNo splash screen when creating self-extractor", nullptr},
    {"nosplashonextract", false, SEF_NO_SPLASH, false, 0, 0, "no-splash", "\t\tNo splash screen when extracting",
     nullptr},
    {"nostatus", false, SEF_NO_STATUS, false, 0, 0, "no-status", "\t\tNo status window", nullptr},
    {"name", true, 0, false, offsetof(option_block, name), OPTION_NAME_SIZE, "Name",
     " {name}\tSets name of self-extractor", "NAME"},
    {"destinationdirectory", true, 0, false, offsetof(option_block, destination), OPTION_DESTINATION_SIZE,
     "Destination", " {path}\tForces extraction to the specified directory", "DIR"},
};
constexpr int OPTION_COUNT = sizeof OPTION_DEFINITIONS / sizeof OPTION_DEFINITIONS[0];

// The definition of an option word; null for none.
const option_definition* option_definition_of(const char* word);

// A zero block with its signature: the start of every block written.
void option_block_start(option_block* block);
// Records one option in the block: its bit, and its parameter (when given)
// in its field. False, with nothing recorded, for a parameter that does not
// fit its field whole: a cut command or destination would mean something else.
bool option_block_record(option_block* block, const option_definition& option, bool given, const char* parameter);
// The option's text field as a zero-terminated text in out (size bytes), read
// only up to the field's size whether or not the field holds its zero.
void option_block_text(const option_block& block, const option_definition& option, char* out, size_t size);
