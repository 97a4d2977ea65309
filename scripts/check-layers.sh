#!/usr/bin/env bash
# Checks that includes and CMake links point down the folder order of
# README.md's Layout section (the numbered list, bottom first):
#   - a file may include "F/..." only for a folder F at or below its own;
#   - a target may link only targets of folders at or below its own, and
#     compile only sources of such folders;
#   - test code (tests/, fuzz/, or a file or target whose name contains
#     "test") may also use tests/support when everything that support piece
#     uses is at or below the test's own folder;
#   - no product target links or compiles anything from tests/, and no
#     folder builds a folder above it (or tests/) as its own subdirectory;
#   - every top-level folder of the repository is in the order.
# Prints each edge that breaks a rule and a summary; exit status 1 if any.
#   scripts/check-layers.sh [REPO_DIR]
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$root"
exec python3 - <<'EOF'
import os, re, subprocess, sys

readme = open("README.md").read()
layout = readme.split("\n## Layout", 1)[1].split("\n## ", 1)[0]
order = re.findall(r"^\d+\. `([^`]+?)/?`", layout, re.M)
rank = {folder: i for i, folder in enumerate(order)}
problems = []

files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], capture_output=True, text=True, check=True).stdout.split()
files = [f for f in files if os.path.exists(f)]
for top in sorted({f.split("/")[0] for f in files if "/" in f}):
    if top not in rank:
        problems.append(f"folder {top}/ is missing from README.md's Layout order")

def folder(path):
    return path.split("/")[0]

def is_test(path):
    return folder(path) in ("tests", "fuzz") or "test" in os.path.basename(path)

def is_support(path):
    return path.startswith("tests/support/")

# --- includes ---
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
sources = [f for f in files if re.search(r"\.(h|hpp|c|cc|cpp|in)$", f)]
includes = {f: [i for i in include.findall(open(f, errors="replace").read()) if "/" in i] for f in sources}

def reach(path, seen):
    """Highest folder rank that a tests/support file uses, through other support files."""
    if path in seen:
        return -1
    seen.add(path)
    top = -1
    for target in includes.get(path, []):
        if is_support(target):
            top = max(top, reach(target, seen))
        elif folder(target) in rank:
            top = max(top, rank[folder(target)])
    return top

edges = 0
for path, targets in sorted(includes.items()):
    own = rank.get(folder(path))
    if own is None:
        continue
    for target in targets:
        if folder(target) not in rank:
            continue
        edges += 1
        if is_support(target) and is_test(path) and not is_support(path):
            need = reach(target, set())
            if need > own:
                problems.append(f"{path} includes {target}, which uses {order[need]}/ above {folder(path)}/")
        elif is_support(path) and is_support(target):
            continue
        elif rank[folder(target)] > own:
            problems.append(f"{path} includes {target}: {folder(target)}/ is above {folder(path)}/")

# --- CMake targets ---
defined = {}   # target -> (folder, is test)
calls = []     # (CMakeLists folder, target, words of the call)
for path in [f for f in files if os.path.basename(f) == "CMakeLists.txt" and "/" in f]:
    text = re.sub(r"#.*", "", open(path).read())
    where = folder(path)
    for match in re.finditer(r"\b(\w+)\(([^()]*(?:\([^()]*\)[^()]*)*)\)", text):
        command, words = match.group(1), match.group(2).split()
        if not words:
            continue
        if command in ("rrz_module", "rrz_test", "rrz_plugin_library", "rrz_fuzz", "add_library", "add_executable"):
            name = words[0] if command != "rrz_fuzz" else "fuzz_" + words[0]
            test = command in ("rrz_test", "rrz_fuzz") or where in ("tests", "fuzz") or "test" in name
            defined[name] = (where, test)
            calls.append((where, name, words[1:]))
        elif command in ("target_link_libraries", "target_sources"):
            calls.append((where, words[0], words[1:]))
        elif command == "add_subdirectory":
            other = re.match(r"\$\{(?:PROJECT|CMAKE)_SOURCE_DIR\}/([\w.-]+)", words[0])
            if other and other.group(1) != where:
                used = other.group(1)
                if used == "tests" or rank.get(used, -1) > rank.get(where, -1):
                    problems.append(f"{where}/CMakeLists.txt builds {words[0]} inside {where}/")

def target_reach(name, seen):
    """Highest folder rank a target in tests/ depends on."""
    if name in seen or name not in defined:
        return -1
    seen.add(name)
    where, _ = defined[name]
    if where != "tests":
        return rank.get(where, -1)
    top = -1
    for _, caller, words in calls:
        if caller == name:
            for word in words:
                top = max(top, target_reach(word, seen))
    return top

for where, name, words in calls:
    if name not in defined:
        continue
    own_folder, test = defined[name]
    own = rank.get(own_folder, -1)
    for word in words:
        used = None
        if word in defined:
            used = defined[word][0]
            need = target_reach(word, set()) if used == "tests" else rank.get(used, -1)
        else:
            source = re.match(r"\$\{(?:PROJECT|CMAKE)_SOURCE_DIR\}/([\w.-]+)/", word)
            if not source:
                continue
            used = source.group(1)
            need = rank.get(used, -1)
        edges += 1
        if used == "tests" and not test:
            problems.append(f"{own_folder}/CMakeLists.txt: product target {name} uses {word} from tests/")
        elif need > own:
            problems.append(f"{own_folder}/CMakeLists.txt: {name} uses {word}, which reaches above {own_folder}/")

for problem in problems:
    print(problem)
print(f"layers: {len(order)} folders, {edges} include and link edges checked, {len(problems)} pointing up")
sys.exit(1 if problems else 0)
EOF
