#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a program of the Windows build under wine, for ctest. Only inside the
# mount namespace that test-windows.sh makes, where the machine's serial
# ports are covered: wine maps every /dev/ttyS* it sees to a COM name.
if [ -z "${TAVLO_WINE_SAFE:-}" ]; then
    echo "wine-run.sh: run the Windows tests through dist/windows/test-windows.sh" >&2
    exit 1
fi
exec /usr/lib/wine/wine64 "$@"
