// The builder's options in the order the command line is searched: each
// option's word (after its prefix), whether it takes a parameter, and what a
// self-extractor's option block keeps of it. One table drives the
// command-line parser, the block's writer and reader and `qpk info`: adding
// an option is one row here.
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
};

inline constexpr option_definition OPTION_DEFINITIONS[] = {
    {"q1", false, SEF_SILENT, false, 0, 0, "silent"},
    {"q2", false, SEF_QUIET, false, 0, 0, "quiet"},
    {"nopath", false, SEF_USE_PATHS, true, 0, 0, "use-paths"},
    {"e", true, 0, false, offsetof(option_block, command), OPTION_COMMAND_SIZE, "Command"},
    {"y", false, SEF_AUTO_YES, false, 0, 0, "auto-yes"},
    {"n", false, SEF_AUTO_NO, false, 0, 0, "auto-no"},
    {"deleteafter", false, SEF_DELETE_AFTER, false, 0, 0, "delete-after"},
    {"forcedeleteprompt", false, SEF_FORCE_DELETE_PROMPT, false, 0, 0, "force-delete-prompt"},
    {"nosplash", false, 0, false, 0, 0, nullptr},
    {"nosplashonextract", false, SEF_NO_SPLASH, false, 0, 0, "no-splash"},
    {"nostatus", false, SEF_NO_STATUS, false, 0, 0, "no-status"},
    {"name", true, 0, false, offsetof(option_block, name), OPTION_NAME_SIZE, "Name"},
    {"destinationdirectory", true, 0, false, offsetof(option_block, destination), OPTION_DESTINATION_SIZE,
     "Destination"},
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
