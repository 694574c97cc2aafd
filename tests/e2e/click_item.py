#!/usr/bin/env python3
"""Waits until the running koramo window shows an item with the given name (an entry of its
file list), then clicks its middle with the mouse (xdotool), as the user does. Fails after 60
seconds when no such item is on the screen."""
import subprocess
import sys
import time

import pyatspi


def find(node, name, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if node.name == name and node.getRoleName() in ("list item", "table cell"):
            return node
        for child in node:
            hit = find(child, name, depth + 1)
            if hit is not None:
                return hit
    except Exception:
        pass
    return None


def main():
    name = sys.argv[1]
    deadline = time.time() + 60
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or app.name != "koramo":
                continue
            item = find(app, name)
            if item is None:
                continue
            box = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if box.width <= 0 or box.height <= 0:
                continue
            x, y = box.x + box.width // 2, box.y + box.height // 2
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)
            print(f"clicked {name} at {x},{y}")
            return 0
        time.sleep(1)  # the list fills in its own time: look again each second
    print(f"FAIL: no item {name} on the screen")
    return 1


if __name__ == "__main__":
    sys.exit(main())
