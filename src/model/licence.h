// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every program's --version says of the licence, after its version.
#define TAVLO_LICENCE                                                                              \
    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"  \
    "This is free software: you are free to change and redistribute it.\n"                         \
    "There is NO WARRANTY, to the extent permitted by law."
