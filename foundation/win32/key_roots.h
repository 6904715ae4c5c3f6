// The registry roots the clean-up key store tries, in order. A key is created
// under the first root that accepts it (HKEY_LOCAL_MACHINE, else
// HKEY_CURRENT_USER for a user without administrator rights), and every later
// open and delete of that path goes to the root the create used.
#pragma once

// Replaces the first root (HKEY_LOCAL_MACHINE) by another key handle, so that
// tests can make the machine root refuse a create. Null restores it.
void os_key_set_machine_root(void* root);
