// Window facts the GUI probe reports, read straight from the platform.
#pragma once

// The screen rectangle of an item of a dialog window; false when none.
bool probe_item_rect(void* window, int item, int* x, int* y, int* width, int* height);
// Asks the status window for its About box as the system menu item does.
void probe_open_about(void* window);
