#!/usr/bin/env python3
"""Waits until the running koramo window shows every name given on the command line in an
item of its accessible tree (the archive member list), or fails after 60 seconds."""
import sys
import time

import pyatspi


def names_in(node, depth=0, found=None):
    found = set() if found is None else found
    if node is None or depth > 40:
        return found
    try:
        if node.name:
            found.add(node.name)
        for child in node:
            names_in(child, depth + 1, found)
    except Exception:
        pass
    return found


def main():
    wanted = set(sys.argv[1:])
    deadline = time.time() + 60
    seen = set()
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "koramo":
                seen = names_in(app)
        if all(any(name.endswith(w) for name in seen) for w in wanted):
            print("members shown:", ", ".join(sorted(wanted)))
            return 0
        time.sleep(1)  # the members come in their own time: look again each second
    print("FAIL: members not shown; names seen:", sorted(seen)[:50])
    return 1


if __name__ == "__main__":
    sys.exit(main())
