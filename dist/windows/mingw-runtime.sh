#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The compiler's runtime DLLs that the programs and Qt need beside them.
set -euo pipefail
for dll in libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll; do
    found=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
    if [ "$found" = "$dll" ]; then
        found=$(find /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32 -name "$dll" \
            -path '*posix*' -o -name "$dll" -path '*/x86_64-w64-mingw32/lib/*' | head -n 1)
    fi
    [ -f "$found" ] || { echo "mingw-runtime.sh: no $dll" >&2; exit 1; }
    echo "$found"
done
