#!/usr/bin/env python3
"""Checks the #include lines of src/ against the folder rules in docs/folders.md.

  check-includes.py            fails (exit 1) on an include against the rules that is not
                               listed in scripts/known-include-violations.txt
  check-includes.py --measure  prints the largest include circle (strongly connected component
                               of the file-level #include graph over src/), the largest files
                               and the longest functions

Core files are the ones a folder's CMakeLists.txt names in kvn_add_subsystem_sources(CORE ...)
(a name without suffix stands for its .h and .cpp).
"""

import argparse
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "src")
KNOWN = os.path.join(ROOT, "scripts", "known-include-violations.txt")

# What each folder may include from the other folders of src/ (its own always): docs/folders.md.
ALLOWED = {
    "serial": {"foundation", "platform"},
    # The port list is serial information read from sysfs: the two core layers use each other.
    "platform": {"foundation", "serial"},
    "foundation": set(),
    "link": {"foundation", "serial", "platform"},
    "console": {"foundation"},
    "views": {"foundation", "link", "console", "dialogs"},
    "dialogs": {"foundation", "link", "console"},
    "maintenance": {"foundation", "link", "console", "serial", "platform"},
    "mainwindow": {"foundation", "link", "console", "serial", "platform", "dialogs", "views",
                   "maintenance"},
}
# Headers of foundation that need widgets: nothing below the window-side folders may use them.
FOUNDATION_WIDGET_HEADERS = {
    "choosestring.h", "confirm.h", "labelled.h", "livevaluelabel.h", "mainappstyle.h",
    "plainmessagebox.h", "repaintpacer.h", "spacerwidget.h", "pixmaputilities.h",
    "windowstatecheck.h", "getfullobjectnamehash.h", "valueneedsfocus.h",
    "groupedboxtabstops.h",
}
# Qt modules a core file, and any file of the folders below the windows, may not include.
GUI_MODULES = ("QtGui", "QtWidgets", "QtOpenGL", "QtOpenGLWidgets", "QtPrintSupport", "QtSvg",
               "QtSvgWidgets")
WIDGET_FREE_FOLDERS = ("serial", "platform", "link")
QT_HEADERS = sorted(glob.glob("/usr/include/*/qt6") + glob.glob("/usr/include/qt6")
                    + glob.glob("/usr/lib/qt6/include"))
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def source_files():
    for folder in sorted(os.listdir(SRC)):
        path = os.path.join(SRC, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if name.endswith((".cpp", ".h")):
                yield folder, name


def includes_of(folder, name):
    with open(os.path.join(SRC, folder, name), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1), m.group(2)


def resolve(folder, kind, target):
    """The src-relative path of a project include, or None for a system/Qt/generated one."""
    if kind != '"':
        return None
    if "/" in target:
        return target if os.path.exists(os.path.join(SRC, target)) else None
    local = folder + "/" + target
    return local if os.path.exists(os.path.join(SRC, local)) else None


def core_files():
    core = set()
    pattern = re.compile(r"kvn_add_subsystem_sources\s*\(([^)]*)\)", re.S)
    for folder in os.listdir(SRC):
        lists = os.path.join(SRC, folder, "CMakeLists.txt")
        if not os.path.exists(lists):
            continue
        with open(lists, encoding="utf-8") as f:
            text = re.sub(r"#.*", "", f.read())
        for m in pattern.finditer(text):
            words = m.group(1).split()
            if words and words[0] == "CORE":
                for word in words[1:]:
                    for candidate in (word, word + ".h", word + ".cpp"):
                        if os.path.isfile(os.path.join(SRC, folder, candidate)):
                            core.add(folder + "/" + candidate)
    return core


def is_gui_include(kind, target):
    """A header of a Qt module that needs a screen: named with its module or, as a bare class
    name, found among that module's installed headers."""
    if kind != "<":
        return False
    if target.split("/")[0] in GUI_MODULES:
        return True
    return "/" not in target and any(
        os.path.exists(os.path.join(root, module, target))
        for root in QT_HEADERS for module in GUI_MODULES)


def violations():
    core = core_files()
    found = []
    for folder, name in source_files():
        path = folder + "/" + name
        for number, kind, target in includes_of(folder, name):
            if path in core:
                resolved = resolve(folder, kind, target)
                if is_gui_include(kind, target) or target.startswith("ui_"):
                    found.append((path, target, "core file includes a widget/GUI header"))
                elif resolved and resolved not in core:
                    found.append((path, target, "core file includes a non-core header"))
            if folder in WIDGET_FREE_FOLDERS and path not in core and is_gui_include(kind, target):
                found.append((path, target, f"{folder} includes no widget/GUI header"))
            resolved = resolve(folder, kind, target)
            if not resolved:
                continue
            other = resolved.split("/")[0]
            if other == folder or folder not in ALLOWED:
                continue
            if other not in ALLOWED[folder]:
                found.append((path, target, f"{folder} may not include {other}"))
            elif (other == "foundation" and folder in ("link", "serial", "platform")
                  and os.path.basename(resolved) in FOUNDATION_WIDGET_HEADERS):
                found.append((path, target, f"{folder} may not include foundation's widget parts"))
    return found


def known_violations():
    known = set()
    if os.path.exists(KNOWN):
        with open(KNOWN, encoding="utf-8") as f:
            for line in f:
                line = line.split("#", 1)[0].strip()
                if line:
                    path, target = line.split()
                    known.add((path, target))
    return known


def check():
    known = known_violations()
    found = violations()
    bad = [v for v in found if (v[0], v[1]) not in known]
    for path, target, why in bad:
        print(f"src/{path}: #include {target}: {why}")
    stale = known - {(v[0], v[1]) for v in found}
    for path, target in sorted(stale):
        print(f"{os.path.relpath(KNOWN, ROOT)}: {path} {target} no longer occurs: remove the line")
    return 1 if bad or stale else 0


def include_circles():
    """A header leads to the .cpp files that implement it (the ones that include it first), so a
    circle counts what one has to build and understand together, not only header loops."""
    graph = {}
    for folder, name in source_files():
        path = folder + "/" + name
        graph.setdefault(path, set())
        first = True
        for _, kind, target in includes_of(folder, name):
            resolved = resolve(folder, kind, target)
            if resolved:
                graph[path].add(resolved)
                graph.setdefault(resolved, set())
                if first and name.endswith(".cpp"):
                    graph[resolved].add(path)
            first = False
    reverse = {node: set() for node in graph}
    for node, targets in graph.items():
        for target in targets:
            reverse[target].add(node)

    def reachable(start, edges):
        seen, todo = {start}, [start]
        while todo:
            for following in edges[todo.pop()]:
                if following not in seen:
                    seen.add(following)
                    todo.append(following)
        return seen

    # A few hundred files: each one's circle is what it reaches and what reaches it.
    components, placed = [], set()
    for node in sorted(graph):
        if node not in placed:
            component = reachable(node, graph) & reachable(node, reverse)
            placed |= component
            components.append(sorted(component))
    return sorted(components, key=len, reverse=True)


FUNCTION_START = re.compile(r"^[A-Za-z].*\)\s*(const)?\s*(override)?\s*$|^[A-Za-z].*\)\s*(const)?\s*\{\s*$")


def function_lengths():
    """Top-level function bodies of the .cpp files: a line opening at column 0 with '{' after a
    signature, closed by the next '}' at column 0."""
    lengths = []
    for folder, name in source_files():
        if not name.endswith(".cpp"):
            continue
        with open(os.path.join(SRC, folder, name), encoding="utf-8") as f:
            lines = f.read().split("\n")
        signature, start = None, None
        for number, line in enumerate(lines):
            if start is None:
                if FUNCTION_START.match(line) and not line.startswith(("namespace", "class", "struct")):
                    signature = (number, line)
                if line.startswith("{") and signature and number - signature[0] <= 3:
                    start = signature
                elif line.endswith("{") and FUNCTION_START.match(line):
                    start = (number, line)
            elif line.startswith("}"):
                lengths.append((number - start[0] + 1, f"{folder}/{name}:{start[0] + 1}",
                                start[1].strip()[:70]))
                signature, start = None, None
    return sorted(lengths, reverse=True)


def measure():
    circles = [c for c in include_circles() if len(c) > 2]
    print(f"include circles: {[len(c) for c in circles]} files")
    for circle in circles[:3]:
        print(f"  {len(circle)}: {' '.join(circle)}")
    sizes = []
    for folder, name in source_files():
        with open(os.path.join(SRC, folder, name), encoding="utf-8") as f:
            sizes.append((sum(1 for _ in f), folder + "/" + name))
    print("largest files (lines):")
    for count, path in sorted(sizes, reverse=True)[:8]:
        print(f"  {count:5} {path}")
    lengths = function_lengths()
    print(f"functions: {len(lengths)}, mean {sum(l[0] for l in lengths) / len(lengths):.1f} lines;"
          " longest:")
    for count, where, signature in lengths[:8]:
        print(f"  {count:5} {where} {signature}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--measure", action="store_true",
                        help="print the include circle, largest files and functions")
    args = parser.parse_args()
    return measure() if args.measure else check()


if __name__ == "__main__":
    sys.exit(main())
