#!/usr/bin/env python3
"""Print the folder-level include graph of src/ (and tools/) from the #include lines.

Each arrow "a -> b (n)" means n quoted includes from files in folder a name a header
in folder b. The script then lists every cycle among the folders and every arrow from
a folder below lib/ into lib/, and exits with status 1 when it finds either.

Usage: python3 tools/include_graph.py [ROOT]   (ROOT defaults to the repository)
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = {".h", ".cc", ".cpp", ".inc"}
# Folders allowed to depend on lib/: lib itself and what sits above it.
ABOVE_LIB = {"lib", "tools"}


def folder_of(path, root):
    rel = path.relative_to(root)
    if rel.parts[0] == "src":
        return rel.parts[1]
    return rel.parts[0]


def target_folder(name):
    parts = name.split("/")
    return parts[0] if len(parts) > 1 else None


def collect(root):
    edges = {}
    files = [p for top in ("src", "tools") for p in (root / top).rglob("*")
             if p.suffix in SOURCE_SUFFIXES and p.is_file()]
    for path in sorted(files):
        src = folder_of(path, root)
        for name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            dst = target_folder(name)
            if dst is None or dst == src or not (root / "src" / dst).is_dir():
                continue
            edges[(src, dst)] = edges.get((src, dst), 0) + 1
    return edges


def cycles(edges):
    """Strongly connected components with more than one folder (Tarjan)."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, []).append(b)
        graph.setdefault(b, [])
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph[node]):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    edges = collect(root)
    for (a, b), n in sorted(edges.items()):
        print(f"{a} -> {b} ({n})")
    loops = cycles(edges)
    upward = sorted(a for (a, b) in edges if b == "lib" and a not in ABOVE_LIB)
    for loop in loops:
        print("cycle: " + " <-> ".join(loop))
    for a in upward:
        print(f"upward: {a} -> lib")
    if not loops and not upward:
        print("no cycle, no arrow into lib/ from below")
    return 1 if loops or upward else 0


if __name__ == "__main__":
    sys.exit(main())
