// The one open archive and the notification callback through which the
// engine reports progress and asks questions.
#pragma once

#include <cstdint>

#include "foundation/backend.h"
#include "ui/events.h"

constexpr int ERROR_ARCHIVE_SIGNATURE = -301;
constexpr uint32_t ARCHIVE_OPEN_READ = 0x80000000;
constexpr uint32_t ARCHIVE_OPEN_APPEND = 0x40000000;

int archive_init();
void archive_set_notify(notify_callback callback);
int archive_notify(unsigned event, const char* text);
int archive_open(const char* path, uint32_t mode);
int archive_close();
// The open archive's handle; NO_FILE when none is open.
file_handle archive_handle();
