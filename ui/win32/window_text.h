// Texts shown in windows: one that is valid UTF-8 and not ASCII (a name from
// an archive made on Linux, or a path built from one) goes to the wide window
// functions; any other to the ANSI ones, as it is.
#pragma once

#include <windows.h>

void ui_set_item_text(HWND window, int item, const char* text);
void ui_set_window_text(HWND window, const char* text);
int ui_message_box(HWND owner, const char* text, const char* title, UINT type);
