// The event codes and the answer that means "cancelled": what the engine, the
// driver and the interaction dispatcher say to each other through a
// notification callback. The extraction's progress travels apart, typed
// (foundation/progress.h).
#pragma once

constexpr unsigned EVENT_EXTRACTING = 2;
constexpr unsigned EVENT_OVERWRITE_QUERY = 3;
constexpr unsigned EVENT_FILE_CREATED = 4;
constexpr unsigned EVENT_DIRECTORY_CREATED = 5;
constexpr unsigned EVENT_ERROR = 104;
constexpr unsigned EVENT_MESSAGE = 105;
constexpr unsigned EVENT_SPLASH = 106;
constexpr unsigned EVENT_DESTINATION = 107;
constexpr unsigned EVENT_OUTPUT_FILE = 108;
constexpr unsigned EVENT_EXECUTING = 109;

constexpr int ERROR_CANCELLED = -308;

// A notification callback: event code and text (null only for EVENT_SPLASH)
// in, an answer out.
using notify_callback = int (*)(unsigned event, const char* text);
