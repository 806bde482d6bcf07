#!/usr/bin/python3
# Prints the program's windows as a screen reader finds them on the accessibility bus (AT-SPI):
# one line per object, "WINDOW<TAB>ROLE<TAB>NAME<TAB>DESCRIPTION", for every window of the
# application whose process id is given. Exit status 1 when the application is not on the bus.
#
#   a11y_tree.py PID
import sys

import pyatspi


def walk(window, node, depth=0):
    if depth > 20:
        return
    try:
        role = node.getRoleName()
        name = node.name or ""
        description = node.description or ""
    except Exception:  # an object that went away while being read
        return
    fields = [window, role, name, description]
    print("\t".join(f.replace("\t", " ").replace("\n", " ") for f in fields))
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(window, child, depth + 1)


def main():
    pid = int(sys.argv[1])
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        try:
            if app is None or app.get_process_id() != pid:
                continue
        except Exception:
            continue
        for window in app:
            if window is not None:
                walk(window.name or "", window)
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
