#!/usr/bin/env python3
"""Fails when an include of the tree runs against the layers, or files include each other in a
circle, or a library of src/ links other libraries than those its files include from.

The libraries of src/ are layered
    resource <- log <- settings <- signals <- can <- records, upgrade <- ui <- app
(records and upgrade side by side, neither using the other): a folder uses the folders below
it. bmsctl/ and bms-sim (sim/) use everything below the widgets; so do the helpers and fakes
that tests and benchmarks share (sim/testkit/). Inside bmsctl/ the folders are layered too,
    cli <- formats <- bus <- battery, bank <- commands, mqtt, exporter
and its main.cpp, which names every command, uses them all. The benchmarks (bench/) use the program, the
simulator and sim/testkit, never tests/; the fuzz targets (fuzz/) use the readers below the
widgets and bmsctl's file formats (formats/, with the cli/ below it). A test of tests/<folder>
uses what its folder's library uses, sim/testkit, the test helpers of tests/support/ and of the test folders of the layers it uses; an include that
reaches a layer it may not use through one of those helpers counts as its own.

The build refuses an include of a library its target does not link; this check sees what the
build cannot: an include that points up or sideways where the libraries are linked, for
example through a test helper, and a circle between files.

Each include "..." (and <...> naming a file of the tree) is looked up as the compiler would: in
the including file's folder, then in the include roots of its part of the tree.
"""

import re
import sys
from collections import deque
from functools import lru_cache
from pathlib import Path

TREE = Path(__file__).resolve().parent.parent

# The libraries of src/: a folder may use the folders of a lower rank.
RANK = {
    "resource": 0,
    "log": 1,
    "settings": 2,
    "signals": 3,
    "can": 4,
    "records": 5,
    "upgrade": 5,
    "ui": 6,
    "app": 7,
}
PROGRAM = set(RANK)
BELOW_WIDGETS = {folder for folder, rank in RANK.items() if rank < RANK["ui"]}

# The folders of bmsctl/, as parts "bmsctl/<folder>": a folder may use the folders of a lower
# rank (commands/params and commands/clock belong to commands).
BMSCTL_RANK = {
    "cli": 0,
    "formats": 1,
    "bus": 2,
    "battery": 3,
    "bank": 3,
    "commands": 4,
    "mqtt": 4,
    "exporter": 4,
}
BMSCTL = {f"bmsctl/{folder}" for folder in BMSCTL_RANK}

# The library that the tests of a folder of tests/ test, where it is not the src/ folder of
# the same name (tests/CMakeLists.txt links it). tests/support holds helpers for any test.
TESTED = {"canservice": "can", "e2e": "app", "screens": "app", "support": None}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.MULTILINE)
SOURCE_SUFFIXES = {".h", ".cpp"}


@lru_cache(maxsize=None)
def uses(part):
    """The parts of the tree a file of the given part may include from, itself among them."""
    if part in RANK:
        return {part} | {folder for folder in RANK if RANK[folder] < RANK[part]}
    if part == "bmsctl":
        return {part} | BMSCTL | BELOW_WIDGETS
    if part in BMSCTL:
        rank = BMSCTL_RANK[part.split("/")[1]]
        return {part} | BELOW_WIDGETS | {f"bmsctl/{folder}" for folder, lower in BMSCTL_RANK.items()
                                         if lower < rank}
    if part in ("sim", "testkit"):
        return {part} | BELOW_WIDGETS
    if part == "bench":
        return {part, "sim", "testkit"} | PROGRAM
    if part == "fuzz":
        return {part, "bmsctl/cli", "bmsctl/formats"} | BELOW_WIDGETS
    if part == "tests/support":
        return {part, "testkit"} | BELOW_WIDGETS
    tested = uses(tested_part(part))
    helpers = {
        test
        for test in test_parts()
        if test == "tests/support" or tested_part(test) in tested
    }
    return {part, "testkit"} | tested | helpers


def tested_part(test):
    folder = test.split("/", 1)[1]
    return TESTED.get(folder, folder)


@lru_cache(maxsize=None)
def test_parts():
    return {f"tests/{path.name}" for path in (TREE / "tests").iterdir() if path.is_dir()}


def part_of(path):
    """The part of the tree a file belongs to, or None for a folder without a place."""
    top, *rest = path.relative_to(TREE).parts
    if top == "src":
        return rest[0] if rest[0] in RANK else None
    if top == "sim":
        return "testkit" if rest[0] == "testkit" else "sim"
    if top == "tests" and len(rest) > 1:
        test = f"tests/{rest[0]}"
        return test if tested_part(test) in PROGRAM | {"sim", "bmsctl", None} else None
    if top == "bmsctl" and len(rest) > 1:
        return f"bmsctl/{rest[0]}" if rest[0] in BMSCTL_RANK else None
    return top if top in ("bmsctl", "bench", "fuzz") else None


# The include roots the build gives each part's targets: src/ for the libraries of src/ (one
# root per library in the build tree, each seeing its folder alone), tests/<folder> and tests/
# for the tests. A file's includes are looked up in its own part's roots first, then in every
# other part's: an include that would only be found elsewhere is still found, and judged.
ROOTS = {
    "src": ["src"],
    "tests": ["tests"],
    "testkit": ["sim/testkit", "sim/testkit/fakecontrolcan"],
    "sim": ["sim"],
    "bmsctl": ["bmsctl"],
    "bench": ["bench"],
    "fuzz": ["fuzz"],
}
EVERY_ROOT = [root for roots in ROOTS.values() for root in roots]


def roots_of(part):
    own = [part, "tests"] if part.startswith("tests/") else ROOTS.get(part, ROOTS["src"])
    return [TREE / root for root in own + EVERY_ROOT]


def resolve(path, kind, included, part):
    folders = ([path.parent] if kind == '"' else []) + roots_of(part)
    for folder in folders:
        candidate = folder / included
        if candidate.is_file():
            return candidate.resolve()
    return None


def sources():
    folders = [TREE / "src", TREE / "sim", TREE / "bmsctl", TREE / "bench", TREE / "fuzz",
               TREE / "tests"]
    return sorted(path.resolve() for folder in folders for path in folder.rglob("*")
                  if path.suffix in SOURCE_SUFFIXES and path.is_file())


def name(path):
    return str(path.relative_to(TREE))


def read_includes(files, problems):
    """Each file's includes of files of the tree, in order."""
    graph = {}
    for path in files:
        part = part_of(path)
        graph[path] = []
        for kind, included in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            target = resolve(path, kind, included, part)
            if target is not None:
                graph[path].append(target)
            elif kind == '"' and not included.endswith(".moc"):
                problems.append(f'{name(path)}: includes "{included}", no file of the tree')
    return graph


def check_parts(files, problems):
    for path in files:
        if part_of(path) is None:
            problems.append(f"{name(path)}: lies in a folder of no layer (see RANK, BMSCTL_RANK "
                            "and part_of() in scripts/check-layers.py)")


def check_layers(graph, problems):
    """Every include points at a part its file may use; so does every file reached through
    includes that are right for the file that makes them (a helper's own includes)."""
    for path, included in graph.items():
        part = part_of(path)
        allowed = uses(part)
        for target in included:
            if part_of(target) not in allowed:
                problems.append(f"{name(path)}: includes {name(target)}, of {part_of(target)}/, "
                                f"which {part}/ may not use")
        # Files reached through allowed includes, with the file that reached them first.
        through = {target: path for target in included if part_of(target) in allowed}
        queue = deque(through)
        while queue:
            helper = queue.popleft()
            helper_allowed = uses(part_of(helper))
            for target in graph.get(helper, []):
                if target in through or target == path or part_of(target) not in helper_allowed:
                    continue
                through[target] = helper
                if part_of(target) in allowed:
                    queue.append(target)
                else:
                    chain = [target]
                    while through[chain[-1]] != path:
                        chain.append(through[chain[-1]])
                    problems.append(f"{name(path)}: reaches {name(target)}, of "
                                    f"{part_of(target)}/, which {part}/ may not use, through "
                                    + " -> ".join(name(step) for step in reversed(chain[1:])))


def check_cycles(graph, problems):
    """Reports one circle of each group of files that include each other (Tarjan's strongly
    connected components, without recursion)."""
    index, low, on_stack, stack, counter = {}, {}, set(), [], 0
    for start in graph:
        if start in index:
            continue
        work = [(start, iter(graph[start]))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(graph.get(child, []))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == node:
                        break
                if len(group) > 1 or node in graph.get(node, []):
                    problems.append("include cycle: " + " -> ".join(
                        name(step) for step in circle(graph, node, set(group))))


def circle(graph, start, group):
    """A shortest way from start back to itself inside a group of files including each other."""
    previous = {}
    queue = deque([start])
    while queue:
        node = queue.popleft()
        for target in graph.get(node, []):
            if target not in group:
                continue
            if target == start:
                chain = [node]
                while chain[-1] != start:
                    chain.append(previous[chain[-1]])
                return [start] + list(reversed(chain[:-1])) + [start]
            if target not in previous:
                previous[target] = node
                queue.append(target)
    return [start, start]


def check_links(graph, problems):
    """Each library of src/ links (names as upper_<folder>) the libraries of the folders its
    files include from, no more and no fewer."""
    library = re.compile(r"\bupper_([a-z]+)(?:_lib)?\b")
    for folder in sorted(RANK):
        cmake = TREE / "src" / folder / "CMakeLists.txt"
        text = re.sub(r"#.*", "", cmake.read_text(encoding="utf-8"))
        linked = {used for used in library.findall(text) if used in RANK} - {folder}
        used = {part_of(target) for path, included in graph.items()
                if part_of(path) == folder for target in included} & PROGRAM
        used.discard(folder)
        if linked != used:
            problems.append(f"src/{folder}/CMakeLists.txt links [{' '.join(sorted(linked))}] "
                            f"but its includes use [{' '.join(sorted(used))}]")


def main():
    problems = []
    files = sources()
    check_parts(files, problems)
    graph = read_includes([path for path in files if part_of(path) is not None], problems)
    check_layers(graph, problems)
    check_cycles(graph, problems)
    check_links(graph, problems)
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"layers: {len(files)} files, every include points down the layers, no include "
          "cycle, every library links what it uses")
    return 0


if __name__ == "__main__":
    sys.exit(main())
