#!/usr/bin/env python3
"""Fails when system code reaches into platform/: a header it includes (directly or through another header) that
lies under platform/ but outside platform/include, or anywhere under platform/include/xp, the stand-ins' private
contracts; or an include root of its compilation inside platform/ other than platform/include and
platform/include/ddk. System code is every source under the system's folders except tests (tests/ and fuzz/
folders, *_test.cc files and the sources of *_tests programs), which may use the stand-ins' contracts.

Reads what the build recorded: the headers of each object (ninja -t deps) and the compile commands
(compile_commands.json). usage: check_layering.py BUILD_DIR SOURCE_DIR [--deps FILE] [--commands FILE]
"""
import argparse
import json
import os
import shlex
import subprocess
import sys

SYSTEM_FOLDERS = ("token", "setup", "kernel", "apps", "logon", "cipher", "tools")
INCLUDE_ROOTS = ("platform/include", "platform/include/ddk")


def relative(path, source_dir):
    """The path relative to the source tree, or None outside it."""
    path = os.path.normpath(path)
    if os.path.commonpath([path, source_dir]) != source_dir:
        return None
    return os.path.relpath(path, source_dir).replace(os.sep, "/")


def is_system_source(path):
    if path is None or path.split("/")[0] not in SYSTEM_FOLDERS:
        return False
    parts = path.split("/")
    return "tests" not in parts and "fuzz" not in parts and not parts[-1].endswith("_test.cc")


def is_test_object(obj):
    return any(part.endswith("_tests.dir") for part in obj.replace(os.sep, "/").split("/"))


def forbidden_header(path):
    if path is None or not path.startswith("platform/"):
        return False
    return not path.startswith("platform/include/") or path.startswith("platform/include/xp/")


def parse_deps(text, build_dir):
    """{object: [source, header, ...]} from `ninja -t deps` output, paths absolute."""
    objects = {}
    current = None
    for line in text.splitlines():
        if line and not line[0].isspace():
            current = line.split(":", 1)[0]
            objects[current] = []
        elif line.strip() and current is not None:
            objects[current].append(os.path.normpath(os.path.join(build_dir, line.strip())))
    return objects


def words_of(entry):
    return entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])


def output_of(entry):
    words = words_of(entry)
    for i, word in enumerate(words[:-1]):
        if word == "-o":
            return words[i + 1]
    return entry.get("output", "")


def include_roots(entry):
    words = words_of(entry)
    roots = []
    i = 0
    while i < len(words):
        for flag in ("-I", "-isystem", "-iquote", "-idirafter"):
            if words[i] == flag and i + 1 < len(words):
                i += 1
                roots.append(words[i])
                break
            if words[i].startswith(flag) and len(words[i]) > len(flag):
                roots.append(words[i][len(flag):])
                break
        i += 1
    return [os.path.normpath(os.path.join(entry["directory"], root)) for root in roots]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("source_dir")
    parser.add_argument("--deps", help="ninja -t deps output saved in a file (default: ask ninja)")
    parser.add_argument("--commands", help="a compile_commands.json (default: the build's)")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    source_dir = os.path.abspath(args.source_dir)

    if args.deps:
        with open(args.deps) as f:
            deps_text = f.read()
    else:
        deps_text = subprocess.run(["ninja", "-C", build_dir, "-t", "deps"], check=True, capture_output=True,
                                   text=True).stdout
    with open(args.commands or os.path.join(build_dir, "compile_commands.json")) as f:
        commands = json.load(f)

    problems = set()
    checked = 0
    for obj, paths in parse_deps(deps_text, build_dir).items():
        if not paths or is_test_object(obj):
            continue
        source = relative(paths[0], source_dir)
        if not is_system_source(source):
            continue
        checked += 1
        for header in paths[1:]:
            header = relative(header, source_dir)
            if forbidden_header(header):
                problems.add(f"{source} includes {header}")
    for entry in commands:
        if is_test_object(output_of(entry)):
            continue
        source = relative(os.path.join(entry["directory"], entry["file"]), source_dir)
        if not is_system_source(source):
            continue
        for root in include_roots(entry):
            root = relative(root, source_dir)
            if root is not None and (root == "platform" or root.startswith("platform/")) and root not in INCLUDE_ROOTS:
                problems.add(f"{source} is compiled with the include root {root}")

    if checked == 0:
        print("no system source in the build's dependency records: build first")
        return 1
    for problem in sorted(problems):
        print(problem)
    if problems:
        print(f"system code may include only platform/include, never platform/include/xp: {len(problems)} problems")
        return 1
    print(f"{checked} system sources include nothing of platform/ but platform/include")
    return 0


if __name__ == "__main__":
    sys.exit(main())
