#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs every example command of the README and the manual pages as written,
against simulated trackers: a placeholder (FILE, PORT, /dev/ttyUSB0 ...) is
replaced by a file or a simulator's port, nothing else is changed.

Usage: doc_examples.py SOURCE_DIR BIN_DIR
"""
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SOURCE, BIN = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
TOOLS = {
    "tavlo-image": os.path.join(BIN, "tools/image"),
    "tavlo-devsim": os.path.join(BIN, "tools/devsim"),
    "tavlo": os.path.join(BIN, "src/app"),
}
problems = []
ran = 0


def readme_commands():
    """Commands in the README's code blocks, and those quoted in its text,
    each with the exit status its comment gives, "(exit 3)", if any."""
    text = open(os.path.join(SOURCE, "README.md"), encoding="utf-8").read()
    commands = []
    said = {}
    for block in re.findall(r"^```\n(.*?)^```", text, re.S | re.M):
        lines = []
        for line in block.splitlines():
            status = re.search(r"\s#.*\(exit (\d+)\)", line)
            line = re.sub(r"\s+#.*$", "", line)
            if status:
                said[line] = int(status.group(1))
            lines.append(line)
        while lines:
            line = lines.pop(0)
            # A line that goes on: after a backslash, or inside braces.
            while (line.endswith("\\") or line.count("{") > line.count("}")) and lines:
                line = (line[:-1] + " " if line.endswith("\\") else line + "\n") + lines.pop(0)
            line = re.sub(r"^\$ ", "", line)
            # The simulator alone runs until stopped: the manual's example
            # runs it in the background and is run below.
            if re.match(r"tavlo-image\b", line):
                commands.append((line, said.get(line)))
    for quoted in re.findall(r"`(tavlo-image [^`]*)`", text):
        commands.append((quoted, None))
    return commands


def manual_examples(page):
    """The EXAMPLES section of a manual page, as the shell lines it shows."""
    text = open(os.path.join(SOURCE, "dist/man", page), encoding="utf-8").read()
    section = text.split(".SH EXAMPLES", 1)[1].split("\n.SH ", 1)[0]
    lines = []
    for line in section.splitlines():
        if line.startswith(".B "):
            line = line[3:].replace("\\-", "-").replace("\\(dq", '"')
            lines.append(line)
    return lines


def start_device(work, name):
    sim = subprocess.Popen([os.path.join(TOOLS["tavlo-devsim"], "tavlo-devsim"), "--log",
                            os.path.join(work, name + ".log")],
                           stdout=subprocess.PIPE, text=True)
    return sim, sim.stdout.readline().strip()


def run(command, work, env, allowed=(0,)):
    global ran
    ran += 1
    done = subprocess.run(["bash", "-c", command], cwd=work, env=env, capture_output=True,
                          text=True, timeout=120)
    if done.returncode not in allowed:
        problems.append("%r exited %d: %s" % (command, done.returncode, done.stderr.strip()))


def placeholders_replaced(command, ports):
    # Options and quoted texts stay as they are; only whole-word placeholders
    # change.
    words = {"FILE": "club.bin", "JSON": "club.json", "OUT": "out.bin", "PORT": ports[0],
             "OLD": "old.bin", "A": "club.bin", "B": "club.json",
             "/dev/ttyUSB0": ports[0], "/dev/ttyUSB1": ports[1]}
    return re.sub(r"(?<![\w/.-])(FILE|JSON|OUT|PORT|OLD|A|B|/dev/ttyUSB[01])(?![\w/.-])",
                  lambda m: words[m.group(1)], command)


def main():
    work = tempfile.mkdtemp(prefix="tavlo-examples-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
               PATH=os.pathsep.join(list(TOOLS.values()) + [os.environ.get("PATH", "")]))
    data = os.path.join(SOURCE, "tests/data")
    for name in ("club.bin", "my-tracker.bin", "config.bin", "club-tracker.bin"):
        shutil.copy(os.path.join(data, "worked-example.bin"), os.path.join(work, name))
    shutil.copy(os.path.join(data, "worked-example.json"), os.path.join(work, "club.json"))
    # The roster the README shows beside its fleet command.
    readme = open(os.path.join(SOURCE, "README.md"), encoding="utf-8").read()
    roster = re.search(r"^```\n(callsign,.*?)^```", readme, re.S | re.M)
    if roster:
        open(os.path.join(work, "roster.csv"), "w", encoding="utf-8").write(roster.group(1))
    else:
        problems.append("the README shows no roster")
    devices = [start_device(work, "device%d" % k) for k in (1, 2)]
    ports = [port for _, port in devices]
    try:
        # Advice and comparisons answer 1 for a finding or a difference, the
        # doctor for a problem on this machine: none of them is a failure.
        examples = readme_commands() + [(line, None) for line in manual_examples("tavlo-image.1")]
        for command, status in examples:
            advisory = re.match(r"tavlo-image (check|diff|verify|doctor)\b", command)
            allowed = (status,) if status is not None else (0, 1) if advisory else (0,)
            run(placeholders_replaced(command, ports), work, env, allowed)
        # The simulator's own example starts one in the background: it must
        # find its port line, however slowly the simulator starts.
        script = "\n".join(["set -e"] + manual_examples("tavlo-devsim.1") +
                           ["kill %1", "wait || true"])
        run("timeout 60 bash -c " + shlex.quote(script), work, env)
        # The window's example opens its file and stays until closed.
        for command in manual_examples("tavlo.1"):
            window = subprocess.Popen(["bash", "-c", "exec " + command], cwd=work, env=env)
            try:
                status = window.wait(timeout=3)
                problems.append("%r ended at once with status %d" % (command, status))
            except subprocess.TimeoutExpired:
                window.send_signal(signal.SIGTERM)
                window.wait()
    finally:
        for sim, _ in devices:
            sim.terminate()
            sim.wait()
        shutil.rmtree(work)
    print("ran %d examples" % ran)
    for problem in problems:
        print("example: " + problem)
    return 1 if problems or ran < 20 else 0


if __name__ == "__main__":
    sys.exit(main())
