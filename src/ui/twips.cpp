// SPDX-License-Identifier: GPL-3.0-or-later
#include "twips.h"

namespace tavlo {

namespace {

int g_dotsPerInch = DesignDotsPerInch;

} // namespace

void setLayoutDotsPerInch(int dotsPerInch)
{
    g_dotsPerInch = dotsPerInch > 0 ? dotsPerInch : DesignDotsPerInch;
}

int layoutDotsPerInch()
{
    return g_dotsPerInch;
}

} // namespace tavlo
