#!/usr/bin/env python3
"""Holds the libraries of src/ to their allowed edges.

Each folder of src/ is one library. A library may include and link only the libraries
below it that ALLOWED names, and only the platform folders may include or link the Linux
libraries (GLib, GTK, Cairo, Pango, PortAudio, libsndfile). Every library declares exactly
the libraries it includes: public when one of its headers includes them, private when
only its sources do. analysis, audio, base and store never reach GTK, not even through
what they link.

Usage: check_layering.py --source DIR --edges FILE   (FILE is written by CMake)
       check_layering.py --self-test                 (the check on a small made-up tree)
Exit status 0 when every edge is allowed, 1 with one line per fault otherwise.
"""

import argparse
import os
import re
import sys
import tempfile

ALLOWED = {
    "platform/core": set(),
    "platform/net": {"platform/core"},
    "platform/events": {"platform/core"},
    "platform/audio": {"platform/core"},
    "platform/ui": {"platform/events", "platform/core"},
    "store": {"platform/core"},
    "base": {"platform/events", "platform/core"},
    "audio": {"base", "store", "platform/audio", "platform/core"},
    "analysis": {"audio", "base", "platform/audio", "platform/core"},
    "ui": {"base", "store", "platform/ui", "platform/events", "platform/core"},
    "web": {"platform/net", "platform/core"},
    "tuner": {"analysis", "audio", "ui", "base", "store", "platform/core"},
}
ALLOWED["app"] = set(ALLOWED)

# System headers and pkg-config targets of the Linux libraries, and who may use them.
EXTERNAL = {
    "glib": (re.compile(r"^(glib|gio|glib-object|gobject)[/.]"), "PkgConfig::GLIB",
             {"platform/core", "platform/events", "platform/ui"}),
    "gtk": (re.compile(r"^(gtk|gdk|gdk-pixbuf|cairo|pango)[/.-]"), "PkgConfig::GTK3", {"platform/ui"}),
    "portaudio": (re.compile(r"^portaudio\.h$"), "PkgConfig::PORTAUDIO", {"platform/audio"}),
    "sndfile": (re.compile(r"^sndfile\.h"), "PkgConfig::SNDFILE", {"platform/audio"}),
}
NO_GTK = {"analysis", "audio", "base", "store"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def library_of(path):
    """The library an include path such as "platform/ui/paint.h" belongs to."""
    best = None
    for lib in ALLOWED:
        if path.startswith(lib + "/") and (best is None or len(lib) > len(best)):
            best = lib
    return best


def folder_library(src, folder):
    rel = os.path.relpath(folder, src).replace(os.sep, "/")
    return rel if rel in ALLOWED else None


def scan_includes(src):
    """{library: {"header": {lib...}, "source": {lib...}, "external": [(file, header)]}}"""
    found = {lib: {"header": set(), "source": set(), "external": []} for lib in ALLOWED}
    for root, _, files in os.walk(src):
        rel_root = os.path.relpath(root, src).replace(os.sep, "/")
        owner = library_of(rel_root + "/x")
        if owner is None:
            continue
        for name in files:
            if not name.endswith((".h", ".hpp", ".cpp", ".cc", ".c")):
                continue
            path = os.path.join(root, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            kind = "header" if name.endswith((".h", ".hpp")) else "source"
            for quote, inc in INCLUDE.findall(text):
                if quote == '"':
                    lib = library_of(inc)
                    if lib and lib != owner:
                        found[owner][kind].add(lib)
                else:
                    found[owner]["external"].append((os.path.relpath(path, src), inc))
    return found


def read_edges(path):
    """{library name: {"folder": dir, "all": [...], "public": [...]}}"""
    libs, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition(" ")
            if key == "library":
                current = libs.setdefault(value, {})
            elif current is not None:
                items = [v for v in value.split(";") if v]
                current[key] = value if key == "folder" else items
    return libs


def unwrap(item):
    """$<LINK_ONLY:tw_x> -> (tw_x, True); tw_x -> (tw_x, False)."""
    m = re.fullmatch(r"\$<LINK_ONLY:(.+)>", item)
    return (m.group(1), True) if m else (item, False)


def check(src, edges_file):
    faults = []
    includes = scan_includes(src)
    targets = read_edges(edges_file)
    by_folder = {}
    for name, info in targets.items():
        lib = folder_library(src, info.get("folder", ""))
        if lib is None:
            faults.append(f"{name}: built from {info.get('folder')}, which is not a library folder")
            continue
        by_folder[lib] = name
    lib_of_target = {v: k for k, v in by_folder.items()}

    for lib, inc in includes.items():
        for up in sorted((inc["header"] | inc["source"]) - ALLOWED[lib]):
            faults.append(f"src/{lib} includes src/{up}: not an allowed edge")
        for file, header in inc["external"]:
            for ext, (pattern, _, users) in EXTERNAL.items():
                if pattern.match(header) and lib not in users:
                    faults.append(f"src/{file} includes <{header}>: {ext} belongs to {sorted(users)}")

    for lib, name in by_folder.items():
        info = targets[name]
        linked, public = set(), set()
        for item in info.get("all", []):
            target, _ = unwrap(item)
            linked.add(target)
        for item in info.get("public", []):
            target, link_only = unwrap(item)
            if not link_only:
                public.add(target)
        linked_libs = {lib_of_target[t] for t in linked if t in lib_of_target}
        public_libs = {lib_of_target[t] for t in public if t in lib_of_target}
        for t in linked:
            if t.startswith("tw_") and t not in lib_of_target:
                faults.append(f"{name} links {t}, which is not a library of src/")
        for up in sorted(linked_libs - ALLOWED[lib]):
            faults.append(f"{name} links {by_folder[up]}: not an allowed edge")
        for ext, (_, pc_target, users) in EXTERNAL.items():
            if pc_target in linked and lib not in users:
                faults.append(f"{name} links {pc_target}: {ext} belongs to {sorted(users)}")
        inc = includes.get(lib, {"header": set(), "source": set()})
        used = inc["header"] | inc["source"]
        for missing in sorted(used - linked_libs):
            faults.append(f"{name} includes src/{missing} but does not link {by_folder.get(missing, missing)}")
        for unused in sorted(linked_libs - used):
            faults.append(f"{name} links {by_folder[unused]} but includes nothing of it")
        for lib2 in sorted(inc["header"] - public_libs):
            if lib2 in linked_libs:
                faults.append(f"{name}: its headers include src/{lib2}, so {by_folder[lib2]} must be PUBLIC")
        for lib2 in sorted(public_libs - inc["header"]):
            faults.append(f"{name}: only its sources include src/{lib2}, so {by_folder[lib2]} must be PRIVATE")

    # What a library reaches through everything it links.
    def closure(target, seen):
        for item in targets.get(target, {}).get("all", []):
            t, _ = unwrap(item)
            if t not in seen:
                seen.add(t)
                closure(t, seen)
        return seen

    for lib in sorted(NO_GTK):
        if lib in by_folder and "PkgConfig::GTK3" in closure(by_folder[lib], set()):
            faults.append(f"{by_folder[lib]} reaches GTK through what it links")
    return faults


def self_test():
    """The check on a made-up tree: clean, then with one upward include and one upward link."""
    with tempfile.TemporaryDirectory() as top:
        src = os.path.join(top, "src")

        def write(rel, text):
            path = os.path.join(src, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)

        write("platform/core/a.h", "#pragma once\n")
        write("platform/core/a.cpp", '#include "platform/core/a.h"\n#include <glib.h>\n')
        write("store/s.cpp", '#include "platform/core/a.h"\n')
        write("audio/x.h", '#include "store/s.h"\n')
        edges = os.path.join(top, "edges.txt")

        def write_edges(audio_links):
            with open(edges, "w") as f:
                f.write(f"library tw_platform_core\nfolder {src}/platform/core\nall PkgConfig::GLIB\n"
                        "public $<LINK_ONLY:PkgConfig::GLIB>\n")
                f.write(f"library tw_store\nfolder {src}/store\nall tw_platform_core\n"
                        "public $<LINK_ONLY:tw_platform_core>\n")
                f.write(f"library tw_audio\nfolder {src}/audio\nall {audio_links}\npublic {audio_links}\n")

        write_edges("tw_store")
        clean = check(src, edges)
        write("store/up.cpp", '#include "audio/x.h"\n')
        upward_include = check(src, edges)
        os.remove(os.path.join(src, "store/up.cpp"))
        write("audio/gtk.cpp", "#include <gtk/gtk.h>\n")
        write_edges("tw_store;PkgConfig::GTK3")
        gtk_in_audio = check(src, edges)

    ok = True
    for name, faults, expect in (("clean tree", clean, None),
                                 ("upward include", upward_include, "src/store includes src/audio"),
                                 ("GTK in audio", gtk_in_audio, "tw_audio reaches GTK")):
        hit = any(expect in f for f in faults) if expect else not faults
        print(f"{'ok  ' if hit else 'FAIL'} {name}: {faults}")
        ok &= hit
    return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source")
    parser.add_argument("--edges")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    if not args.source or not args.edges:
        parser.error("--source and --edges are needed")
    faults = check(os.path.join(args.source, "src"), args.edges)
    for fault in faults:
        print(fault)
    print(f"layering: {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
