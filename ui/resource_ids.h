/* The numbers and names that tie the resource script to the code: the status
 * dialog's items, the resources the program loads by name and the window
 * classes. windres reads this file through the C preprocessor alone and knows
 * no constexpr, so these are macros. The window tests read this file as well
 * (tests/gui/resource_ids.py): keep one "#define NAME VALUE" per line, the
 * value a number, a quoted string or a bare word. */
#ifndef QPK2EXE_UI_RESOURCE_IDS_H
#define QPK2EXE_UI_RESOURCE_IDS_H

/* Items of the status dialog. The Continue button's id is also the command
 * it sends. */
#define ITEM_STATUS_LINE 1001
#define ITEM_DETAIL_LINE 1002
#define ITEM_OUTPUT 1004
#define ITEM_CONTINUE 1007
#define ITEM_CONTINUE_HINT 1008

/* The About entry the status window appends to its system menu. */
#define MENU_ABOUT 1

/* Resources looked up by name. Bare words: the resource script names a
 * resource with them (windres would join a quoted name onto the file name of
 * the resource before it), and the code spells them with RESOURCE_NAME().
 * windres stores names in capitals, as a lookup by name expects. */
#define RESOURCE_STATUS_DIALOG QPK2EXE
#define RESOURCE_ABOUT_DIALOG ABOUT
#define RESOURCE_ICON DEMO
#define RESOURCE_SPLASH_BITMAP MyBitmap
#define RESOURCE_NAME(name) RESOURCE_NAME_TEXT(name)
#define RESOURCE_NAME_TEXT(name) #name

/* Window classes: the status dialog's template names its class; the splash
 * window is also titled with its class name, which the window tests find. */
#define STATUS_WINDOW_CLASS "StatusClass"
#define SPLASH_WINDOW_CLASS "SplashClass"

#endif
