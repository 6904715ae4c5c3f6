/* Read before every C++ source of the static build. libstdc++'s Linux
   settings ask for glibc's version and name its locale type; musl stands
   where a recent glibc does (threads in the C library itself) and names the
   same type locale_t. */
#define __GLIBC_PREREQ(major, minor) 1
#include <locale.h>
typedef locale_t __locale_t;
