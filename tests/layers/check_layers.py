#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Each folder of src/ is one library, and a file includes only headers of
its own folder or of the folders before it in this order; tools sit beside
the window. Exit 1 naming every include that runs against the order."""
import pathlib
import re
import sys

ORDER = [
    ["src/model"],
    ["src/image"],
    ["src/link"],
    ["src/platform/files"],
    ["src/platform/devices", "src/platform/widgets"],
    ["src/words"],
    ["src/ui", "tools/image", "tools/devsim"],
    ["src/app"],
]

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
layer_of = {folder: i for i, folders in enumerate(ORDER) for folder in folders}
owner = {}
for folder in layer_of:
    for header in (root / folder).glob("*.h"):
        owner.setdefault(header.name, []).append(folder)

bad = []
for folder, layer in layer_of.items():
    for source in sorted((root / folder).glob("*.[ch]*")):
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not m or m.group(1) not in owner:
                continue
            homes = owner[m.group(1)]
            if len(homes) > 1:
                bad.append(f"{source.relative_to(root)}:{number}: {m.group(1)} is in {homes}")
            elif homes[0] != folder and layer_of[homes[0]] >= layer:
                bad.append(f"{source.relative_to(root)}:{number}: includes {m.group(1)} "
                           f"from {homes[0]}, which is not below {folder}")
for line in bad:
    print(line)
sys.exit(1 if bad else 0)
