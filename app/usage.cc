#include "app/usage.h"

// Each line is kept apart, with its exact trailing spaces.
// clang-format off
const char usage_text[] =
    "                                    " "\n"
    "       *** ORVANT (beta-version)*** " "\n"
    "    ver. 1.01                                   " "\n"
    "    usage: velk.exe from_dir to_dir [restore]   " "\n"
    "                                                " "\n"
    "    rewrite all files: xcopy.exe from_dir to_dir /F/E/C/Y/H/R/K/O/X/G   " "\n"
    "                                                " "\n"
    "      example:                                  " "\n"
    "        make first backup:  velk c:\\src d:\\src         " "\n"
    "        make next  backup:  velk c:\\src d:\\src restore " "\n"
    "        restore:            velk d:\\src c:\\src restore";
// clang-format on
