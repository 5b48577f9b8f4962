#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Each folder of src/ is one library, used only by the folders after it in
this order; the programs sit after them all.

Two checks, each exit 1 with every line that runs against the order:
- the includes, with their paths resolved as the compiler would (relative to
  the file, then in the project's folders), quoted or in angle brackets;
- the build's own graph of targets (cmake --graphviz, from a configure of its
  own in a temporary folder), when a cmake is given.

    check_layers.py ROOT [CMAKE]"""
import pathlib
import re
import subprocess
import sys
import tempfile

ORDER = [
    ["src/model"],
    ["src/image"],
    ["src/link"],
    ["src/platform/files"],
    ["src/platform/devices", "src/platform/widgets"],
    ["src/words"],
    ["src/fleet"],
    ["src/ui", "tools/image", "tools/devsim"],
    ["src/app"],
]

# The targets each folder builds.
TARGETS = {
    "tavlo_model": "src/model",
    "tavlo_image": "src/image",
    "tavlo_protocol": "src/link",
    "tavlo_link": "src/link",
    "tavlo_files": "src/platform/files",
    "tavlo_devices": "src/platform/devices",
    "tavlo_widgets": "src/platform/widgets",
    "tavlo_linkwords": "src/words",
    "tavlo_fleet": "src/fleet",
    "tavlo_ui": "src/ui",
    "iconpixels": "src/ui",
    "tavlo-image": "tools/image",
    "tavlo_imagetool": "tools/image",
    "tavlo_tracker": "tools/devsim",
    "tavlo-devsim": "tools/devsim",
    "tavlo": "src/app",
}

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
layer_of = {folder: i for i, folders in enumerate(ORDER) for folder in folders}
folders = [root / folder for folder in layer_of]


def folder_of(path):
    """The ordered folder a file is in (its pictures' folder too), or None."""
    homes = [folder for folder in layer_of if (root / folder) in path.parents]
    return max(homes, key=len) if homes else None


def resolve(source, name, quoted):
    """The project file an include names, as the compiler finds it."""
    candidates = [source.parent / name] if quoted else []
    candidates += [folder / name for folder in folders]
    for candidate in candidates:
        candidate = candidate.resolve()
        if candidate.is_file() and root in candidate.parents:
            return candidate
    return None


def check_includes():
    bad = []
    include = re.compile(r'\s*#\s*include\s*([<"])([^">]+)[">]')
    for folder, layer in layer_of.items():
        for source in sorted((root / folder).glob("*.[ch]*")):
            lines = source.read_text(encoding="utf-8").splitlines()
            for number, line in enumerate(lines, 1):
                m = include.match(line)
                if not m:
                    continue
                target = resolve(source, m.group(2), m.group(1) == '"')
                if target is None:
                    continue
                home = folder_of(target)
                if home is None:
                    bad.append(f"{source.relative_to(root)}:{number}: includes {m.group(2)}, "
                               f"which is in no library's folder")
                elif home != folder and layer_of[home] >= layer:
                    bad.append(f"{source.relative_to(root)}:{number}: includes {m.group(2)} "
                               f"from {home}, which is not below {folder}")
    return bad


def check_targets(cmake):
    """Every link between two of the project's targets goes down the order."""
    with tempfile.TemporaryDirectory() as build:
        dot = pathlib.Path(build) / "targets.dot"
        subprocess.run([cmake, "-S", str(root), "-B", build, f"--graphviz={dot}",
                        "-DBUILD_TESTING=OFF"], check=True, stdout=subprocess.DEVNULL)
        text = dot.read_text(encoding="utf-8")
    names = dict(re.findall(r'"(node\d+)"\s*\[\s*label\s*=\s*"([^"]+)"', text))
    bad = []
    seen = set()
    for user, used in re.findall(r'"(node\d+)"\s*->\s*"(node\d+)"', text):
        a, b = names.get(user), names.get(used)
        seen.update(n for n in (a, b) if n in TARGETS)
        if a not in TARGETS or b not in TARGETS:
            continue
        if TARGETS[a] != TARGETS[b] and layer_of[TARGETS[b]] >= layer_of[TARGETS[a]]:
            bad.append(f"target {a} ({TARGETS[a]}) links {b} ({TARGETS[b]}), which is not "
                       f"below it")
    for name in sorted(set(names.values())):
        if name.startswith("tavlo") and name not in TARGETS:
            bad.append(f"target {name} is in no folder of the order")
    if not seen:
        bad.append("the build's graph named none of the project's targets")
    return bad


problems = check_includes()
if len(sys.argv) > 2:
    problems += check_targets(sys.argv[2])
for line in problems:
    print(line)
sys.exit(1 if problems else 0)
