// The ANSI code page the back-end reads names in: the system's own, unless a
// test sets another (a double-byte one, on a machine with a Latin code page).
#pragma once

// 0 restores the system's ANSI code page.
void os_set_ansi_code_page(unsigned code_page);
