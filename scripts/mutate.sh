#!/usr/bin/env bash
# The mutation check: puts each fault of tests/mutations.txt into a copy of the tree, one at a
# time, rebuilds only the test programs that link the changed file (Release with the standard
# library's bounds checks, no sanitizers), runs them, and prints per room which faults no test
# noticed, the score and the time taken.
#
#   bash scripts/mutate.sh [ROOM...]        (all rooms when none is named)
#
# LUMAR_MUTATIONS names another list, LUMAR_MUTATE_DIR another work folder (it must lie below
# the checkout's parent so ccache's base folder makes the copy's objects hits). Exit status 1
# when a room stays below 90% or a mutation no longer applies.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export LUMAR_ROOT=$root
export LUMAR_MUTATIONS=${LUMAR_MUTATIONS:-$root/tests/mutations.txt}
export LUMAR_MUTATE_DIR=${LUMAR_MUTATE_DIR:-$root/build-mutate}
exec python3 - "$@" <<'PYTHON'
import os, re, shutil, subprocess, sys, time

root, work = os.environ["LUMAR_ROOT"], os.environ["LUMAR_MUTATE_DIR"]
tree = os.path.join(work, "tree")
build = os.path.join(tree, "build-release")  # the same relative paths as CI's Release build
rooms_asked = set(sys.argv[1:])
began = time.monotonic()


def read_list(path):
    """Blocks of `file:`, `old:`, `new:`, `why:` lines; `equivalent:` instead of `why:` marks
    a change that cannot alter behaviour (kept, with the reason, and not run)."""
    mutations, current = [], {}
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if line.startswith("#"):
            continue
        if not line.strip():
            if current:
                mutations.append(current)
            current = {}
            continue
        key, sep, value = line.partition(": ")
        if not sep or key not in ("file", "old", "new", "why", "equivalent"):
            sys.exit(f"{path}:{number}: expected 'file|old|new|why|equivalent: text'")
        current.setdefault("line", number)
        current[key] = value.replace("\\n", "\n")
    if current:
        mutations.append(current)
    for m in mutations:
        if not all(k in m for k in ("file", "old", "new")) or ("why" in m) == ("equivalent" in m):
            sys.exit(f"{path}:{m['line']}: a mutation needs file, old, new and why (or equivalent)")
        m["room"] = m["file"].split("/")[1]
    return mutations


def run(command, **kw):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace", **kw)


def copy_tree():
    """Brings the copy up to date with the checkout; files that did not change keep their
    times, so a second run rebuilds only what changed since the first."""
    os.makedirs(tree, exist_ok=True)
    files = run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=root).stdout
    names = set(filter(None, files.split("\0")))
    for parent, dirs, found in os.walk(tree):  # what the checkout no longer has goes
        dirs[:] = [d for d in dirs if d not in ("build-release", "node_modules")]
        for f in found:
            if os.path.relpath(os.path.join(parent, f), tree) not in names:
                os.remove(os.path.join(parent, f))
    for name in names:
        source, target = os.path.join(root, name), os.path.join(tree, name)
        if not os.path.isfile(source):
            continue
        data = open(source, "rb").read()
        if os.path.isfile(target) and open(target, "rb").read() == data:
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        open(target, "wb").write(data)
        shutil.copymode(source, target)
    # The installed parsers the multipart tests post to.
    for parent, dirs, _ in os.walk(os.path.join(root, "tests")):
        if "node_modules" in dirs:
            relative = os.path.relpath(os.path.join(parent, "node_modules"), root)
            if not os.path.lexists(os.path.join(tree, relative)):
                os.symlink(os.path.join(root, relative), os.path.join(tree, relative))
            dirs.remove("node_modules")


def symbols(path, defined_in_object=False):
    out = run(["nm", "--defined-only", "-g", path] if defined_in_object else
              ["nm", "--defined-only", path]).stdout.split("\n")
    names = set()
    for line in out:
        parts = line.split()
        # Strong definitions only: an inline function or a template (W, V, u) is compiled into
        # every user and says nothing about which programs take this file.
        if len(parts) == 3 and (not defined_in_object or parts[1] in "TDRB"):
            names.add(parts[2])
    return names


def programs():
    tests = os.path.join(build, "tests")
    found = sorted(n for n in os.listdir(tests)
                   if os.access(os.path.join(tests, n), os.X_OK) and n.endswith("_test")
                   and os.path.isfile(os.path.join(tests, n)))
    return {name: symbols(os.path.join(tests, name)) for name in found}


def users(mutation, linked, cli_symbols):
    """The test programs that take the mutated file, the room's own first."""
    path = mutation["file"]
    everyone = sorted(linked)
    if not path.endswith(".cpp"):
        picked = everyone
    else:
        objects = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(build, "CMakeFiles"))
                   for f in fs if os.path.join(d, f).endswith("/" + path + ".o")]
        defined = set().union(*(symbols(o, True) for o in objects)) if objects else set()
        if not defined:
            picked = everyone
        else:
            picked = [p for p in everyone if linked[p] & defined
                      or (p.startswith("cli_") and cli_symbols & defined)]
    own = mutation["room"] + "_"
    return sorted(picked, key=lambda p: (not p.startswith(own), p))


def test_once(program):
    try:
        result = subprocess.run([os.path.join(build, "tests", program), "--gtest_brief=1"],
                                cwd=os.path.join(build, "tests"), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=300,
                                env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return result.returncode == 0
    except subprocess.TimeoutExpired:
        return False  # a fault that hangs the program is noticed as well


def main():
    mutations = [m for m in read_list(os.environ["LUMAR_MUTATIONS"])
                 if not rooms_asked or m["room"] in rooms_asked]
    copy_tree()
    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
    configure = run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                     "-DLUMAR_BUILD_UI=OFF", "-DLUMAR_BUILD_BENCH=OFF",
                     # the library's bounds checks: an overread that only a sanitizer would
                     # see stops the test program here too
                     "-DCMAKE_CXX_FLAGS=-D_GLIBCXX_ASSERTIONS"] + launcher)
    jobs = str(os.cpu_count() or 2)
    baseline = run(["nice", "cmake", "--build", build, "-j", jobs])
    if configure.returncode or baseline.returncode:
        sys.exit(configure.stdout + baseline.stdout[-4000:] + "\nthe unchanged tree does not build")
    linked = programs()
    cli_symbols = symbols(os.path.join(build, "bin", "lumar-cli"))
    print(f"tree built in {time.monotonic() - began:.0f} s; {len(mutations)} mutations",
          flush=True)

    results, broken = [], False
    for m in mutations:
        target = os.path.join(tree, m["file"])
        original = open(target, encoding="utf-8").read()
        label = f'{m["file"]}:{m["line"] if "line" in m else "?"}'
        if original.count(m["old"]) != 1:
            print(f"  LIST   {label}: the old text occurs {original.count(m['old'])} times")
            broken = True
            continue
        if "equivalent" in m:
            results.append((m, "equivalent", ""))
            print(f"  equal  {label}: {m['equivalent']}", flush=True)
            continue
        started = time.monotonic()
        picked = users(m, linked, cli_symbols)
        open(target, "w", encoding="utf-8").write(original.replace(m["old"], m["new"]))
        try:
            targets = picked + (["lumar-cli"] if any(p.startswith("cli_") for p in picked) else [])
            built = run(["nice", "cmake", "--build", build, "-j", jobs, "--target"] + targets)
            if built.returncode:
                verdict, by = "nobuild", ""
            else:
                by = next((p for p in picked if not test_once(p)), "")
                verdict = "caught" if by else "SURVIVED"
        finally:
            open(target, "w", encoding="utf-8").write(original)
            os.utime(target)
        results.append((m, verdict, by))
        print(f"  {verdict:8} {label} ({time.monotonic() - started:.0f} s, "
              f"{len(picked)} programs{', by ' + by if by else ''}): {m['why']}", flush=True)

    print()
    low = False
    for room in sorted({m["room"] for m, _, _ in results}):
        ran = [(m, v) for m, v, _ in results if m["room"] == room and v in ("caught", "SURVIVED")]
        caught = sum(v == "caught" for _, v in ran)
        score = 100.0 * caught / len(ran) if ran else 100.0
        low = low or score < 90
        print(f"{room:10} {caught}/{len(ran)} caught ({score:.0f}%)")
        for m, v in ran:
            if v == "SURVIVED":
                print(f"           survived: {m['file']}: {m['why']}")
        for m, v, _ in results:
            if m["room"] == room and v == "nobuild":
                print(f"           does not build (fix the list): {m['file']}: {m['why']}")
    minutes, seconds = divmod(int(time.monotonic() - began), 60)
    print(f"whole run: {minutes} min {seconds} s")
    sys.exit(1 if low or broken else 0)


main()
PYTHON
