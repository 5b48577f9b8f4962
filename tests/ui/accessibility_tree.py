#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the window's accessibility tree as a screen reader does, over AT-SPI,
and checks what a blind user depends on. The accessibility bus is started
after the program, as happens when a screen reader is turned on later.

Run by accessibility_tree.sh, which provides a display and a session bus.
"""
import os
import subprocess
import sys
import time

import pyatspi

WINDOW = sys.argv[1]
problems = []


def check(ok, what):
    if not ok:
        problems.append(what)


def wait_for(find, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    return None


def walk(node, depth=0):
    yield node
    if depth > 12:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def app_named(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def labelled_by(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return ""


def set_status(flag, value):
    subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path",
                    "/org/a11y/bus", "--method", "org.freedesktop.DBus.Properties.Set",
                    "org.a11y.Status", flag, "<%s>" % value],
                   check=False, capture_output=True)


def start_bus():
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    wait_for(lambda: subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                                     "--object-path", "/org/a11y/bus", "--method",
                                     "org.a11y.Bus.GetAddress"],
                                    capture_output=True).returncode == 0)
    return launcher


# Two ways a screen reader comes after the program: the accessibility bus is
# started after it, or (as on a desktop that runs the bus from login) the bus
# is there and its screen-reader flag is turned on after the program started.
FLAG_LATER = len(sys.argv) > 2 and sys.argv[2] == "flag-later"
bus = None
if FLAG_LATER:
    bus = start_bus()
    set_status("IsEnabled", "false")
    set_status("ScreenReaderEnabled", "false")
# The window on the display, whatever platform the other tests use.
window = subprocess.Popen([WINDOW], env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
try:
    time.sleep(1)  # the program is up before the accessibility bus, or its flag
    if FLAG_LATER:
        set_status("ScreenReaderEnabled", "true")
    else:
        bus = start_bus()
        set_status("IsEnabled", "true")
    app = wait_for(lambda: app_named("tavlo"))
    check(app is not None, "the program never appeared on the accessibility bus")
    if app is not None:
        nodes = list(walk(app))
        visible = [n for n in nodes if n.getState().contains(pyatspi.STATE_SHOWING)]
        status = [n for n in visible if n.getRole() == pyatspi.ROLE_STATUS_BAR]
        check(len(status) == 1, "one status bar, found %d" % len(status))
        if status:
            check(status[0].name == status[0].queryText().getText(0, -1) != "",
                  "the status bar reads its text: %r" % status[0].name)
        progress = [n for n in nodes if n.getRole() == pyatspi.ROLE_PROGRESS_BAR]
        check(len(progress) == 1 and progress[0].queryValue().maximumValue == 100,
              "one progress bar from 0 to 100")
        for combo in (n for n in visible if n.getRole() == pyatspi.ROLE_COMBO_BOX):
            check(labelled_by(combo) != "", "drop-down %r has no purpose" % combo.name)
        sets = [n for n in visible if n.name == "Set 1"]
        check(len(sets) == 1, "the shown set's panel is named \"Set 1\"")
        buttons = {n.name: n for n in visible if n.name.startswith("Set") and len(n.name) == 4}
        check(len(buttons) == 6, "six set buttons, found %s" % sorted(buttons))
        for name, button in buttons.items():
            check(button.getState().contains(pyatspi.STATE_CHECKED) == (name == "Set1"),
                  "%s %s checked" % (name, "not" if name == "Set1" else "is"))
        for button in (n for n in visible if n.getRole() in (pyatspi.ROLE_PUSH_BUTTON,
                                                            pyatspi.ROLE_CHECK_BOX,
                                                            pyatspi.ROLE_RADIO_BUTTON)):
            check(button.description != "", "%r says no purpose" % button.name)
        # The symbol scroll bar: moved over the bus, it says the symbol's name.
        steppers = [n for n in visible if n.getRole() == pyatspi.ROLE_SCROLL_BAR]
        check(len(steppers) == 1, "one symbol scroll bar in the shown set")
        if steppers:
            steppers[0].queryValue().currentValue = 2
            time.sleep(0.5)
            picture = [n for n in walk(app) if n.getRole() in (pyatspi.ROLE_IMAGE,
                                                                pyatspi.ROLE_LABEL)
                       and n.getState().contains(pyatspi.STATE_SHOWING)
                       and n.name == steppers[0].description.split("\n")[0]]
            check(steppers[0].description.split("\n")[0] not in ("", "0", "2")
                  and len(picture) == 1,
                  "the scroll bar and the picture say the symbol: %r" % steppers[0].description)
    bus.terminate()
finally:
    window.terminate()
    window.wait()

print("checked %d nodes" % (len(nodes) if app else 0))
for problem in problems:
    print("accessibility: " + problem)
sys.exit(1 if problems else 0)
