#!/usr/bin/env python3
"""Waits until the running koramo window shows a text box (on the screen) whose text holds the
first argument word for word, and an item named by each further argument (a label, say), or
fails after 60 seconds. Used to see a page previewed as its source text: the tags are in the
box only when the page is shown as text, not when a browser engine draws it."""
import sys
import time

import pyatspi


def walk(node, texts, names, depth=0):
    if node is None or depth > 40:
        return
    try:
        if node.name:
            names.add(node.name)
        showing = node.getState().contains(pyatspi.STATE_SHOWING)
        if showing and node.getRoleName() in ("text", "paragraph", "document text"):
            try:
                texts.append(node.queryText().getText(0, -1))
            except NotImplementedError:
                pass
        for child in node:
            walk(child, texts, names, depth + 1)
    except Exception:
        pass


def main():
    wanted_text, wanted_names = sys.argv[1], set(sys.argv[2:])
    deadline = time.time() + 60
    texts, names = [], set()
    while time.time() < deadline:
        texts, names = [], set()
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "koramo":
                walk(app, texts, names)
        if any(wanted_text in t for t in texts) and wanted_names <= names:
            print("text shown:", wanted_text)
            return 0
        time.sleep(1)  # the preview loads in its own time: look again each second
    print("FAIL: text not shown; text boxes:", [t[:80] for t in texts],
          "missing names:", sorted(wanted_names - names))
    return 1


if __name__ == "__main__":
    sys.exit(main())
