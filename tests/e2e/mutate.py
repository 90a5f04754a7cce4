#!/usr/bin/env python3
"""Deterministic mutants for the smoke tests under Wine.

  mutate.py list SETUP_INI OUT_DIR COUNT      setup lists: structure-aware
      changes (wrong types, missing and doubled members, huge and deep values)
      and byte-level damage (flips, cuts, stray bytes)
  mutate.py sfx ARCHIVE_EXE STUB_SIZE OUT_DIR COUNT
      self-extracting archives damaged after the stub (flips, cuts, zeroed runs)

The same arguments always give the same files (fixed seed), so a failure can
be reproduced by hand from the file's name.
"""
import copy
import json
import os
import random
import sys

SEED = 20261209


def json_paths(value, path=()):
    yield path
    if isinstance(value, dict):
        for k, v in value.items():
            yield from json_paths(v, path + (k,))
    elif isinstance(value, list):
        for i, v in enumerate(value):
            yield from json_paths(v, path + (i,))


def get(value, path):
    for p in path:
        value = value[p]
    return value


def strange_value(rng):
    return rng.choice([
        None, True, -1, 2**31, 2**53, 1.5e308, "", "x" * 100000, [], {}, [[[[[]]]]],
        {"action": "copyfile"}, "$PROGRAMDIR$" * 50, "\u0000", "C:\\" + "a\\" * 300,
    ])


def structured(doc, rng):
    d = copy.deepcopy(doc)
    paths = [p for p in json_paths(d) if p]
    path = rng.choice(paths)
    parent = get(d, path[:-1])
    kind = rng.randrange(4)
    if kind == 0:
        parent[path[-1]] = strange_value(rng)
    elif kind == 1:
        if isinstance(parent, dict):
            del parent[path[-1]]
        else:
            parent.pop(path[-1])
    elif kind == 2:
        if isinstance(parent, list):
            parent.extend([copy.deepcopy(parent[path[-1]])] * 50)
        else:
            parent[path[-1] + "_"] = parent[path[-1]]
    else:
        parent[path[-1]] = "__DEEP__"
    text = json.dumps(d, ensure_ascii=rng.random() < 0.5)
    depth = rng.choice([10, 200, 5000])
    text = text.replace('"__DEEP__"', "[" * depth + "1" + "]" * depth)
    return text.encode("utf-8")


def damaged(data, rng, start=0):
    b = bytearray(data)
    kind = rng.randrange(4)
    if kind == 0:
        for _ in range(rng.randrange(1, 16)):
            i = rng.randrange(start, len(b))
            b[i] ^= 1 << rng.randrange(8)
    elif kind == 1:
        del b[rng.randrange(start, len(b)):]
    elif kind == 2:
        i = rng.randrange(start, len(b))
        b[i:i + rng.randrange(1, 64)] = bytes(rng.randrange(1, 64))
    else:
        i = rng.randrange(start, len(b))
        b[i:i] = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 32)))
    return bytes(b)


def main():
    rng = random.Random(SEED)
    if sys.argv[1] == "list":
        source, out, count = sys.argv[2], sys.argv[3], int(sys.argv[4])
        raw = open(source, "rb").read()
        doc = json.loads(raw)
        os.makedirs(out, exist_ok=True)
        for n in range(count):
            data = structured(doc, rng) if n % 3 else damaged(raw, rng)
            open(os.path.join(out, "list-%02d.ini" % n), "wb").write(data)
    elif sys.argv[1] == "sfx":
        source, stub, out, count = sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
        raw = open(source, "rb").read()
        os.makedirs(out, exist_ok=True)
        for n in range(count):
            open(os.path.join(out, "sfx-%02d.exe" % n), "wb").write(damaged(raw, rng, stub))
    else:
        sys.exit("mutate.py: list or sfx")


if __name__ == "__main__":
    main()
