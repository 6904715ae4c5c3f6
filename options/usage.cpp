// The builder's usage text.
#include "options/options.h"

const char USAGE_TEXT[] =
    "usage: QPK2EXE [options] {QPK file} [EXE file]\n"
    "/q1\t\tSilent mode (no output)\n"
    "/q2\t\tQuiet mode (only errors)\n"
    "/nopath\t\tDon't create subdirectories on extract\n"
    "/y\t\tAutomatically respond 'Yes' to interaction\n"
    "/n\t\tAutomatically respond 'No' to interaction\n"
    "/deleteafter\tDelete extracted files before exiting\n"
    "/forcedeleteprompt\tForce prompt before deleting (doesn't wait for launched file to exit)\n"
    "/e [$(Destination)\\]{command}   Execute {command} after extracting\n"
    "                                {command} should include 'start' if\n"
    "                                you are trying to use file association\n"
    "/nosplash\t\tNo splash screen when creating self-extractor\n"
    "/nosplashonextract\t\tNo splash screen when extracting\n"
    "/nostatus\t\tNo status window\n"
    "/name {name}\tSets name of self-extractor\n"
    "/destinationdirectory {path}\tForces extraction to the specified directory\n";
