#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs accessibility_tree.py with a display of its own and a session bus;
# skipped (77) where the tools for it are not installed.
window=$1 # and how the screen reader comes: "bus-later" or "flag-later"
here=$(dirname "$0")
for tool in xvfb-run dbus-run-session gdbus /usr/libexec/at-spi-bus-launcher; do
    if ! found=$(command -v "$tool"); then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done
if ! found=$(/usr/bin/python3 -c 'import pyatspi' 2>&1); then
    echo "skipped: python3-pyatspi is not installed"
    exit 77
fi
exec xvfb-run -a dbus-run-session -- /usr/bin/python3 "$here/accessibility_tree.py" "$window" "$2"
