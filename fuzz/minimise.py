#!/usr/bin/env python3
"""Keeps a target's committed corpus small after a long fuzz run.

    fuzz/minimise.py TARGET [COUNT]

Runs the libFuzzer program of the fuzz preset with -merge=1 over the committed corpus and the
run's work folder (build/fuzz/fuzz-work/TARGET), reads the features each input reaches from the
merge control file, and keeps the seeds and reproducers ("seed-*", "crash-*") plus at most COUNT
(default 40) other inputs, chosen greedily for the most features (libFuzzer's ft: edges and their
hit counts) not yet reached, the smaller first on a tie. The
chosen inputs are written into fuzz/corpus/TARGET under their SHA-1 names; other hashed inputs
there are removed.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
target = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 40
program = os.path.join(root, "build/fuzz/fuzz", target + "_fuzz")
corpus = os.path.join(root, "fuzz/corpus", target)
work = os.path.join(root, "build/fuzz/fuzz-work", target)


def kept(name):
    return name.startswith("seed-") or name.startswith("crash-") or not all(c in "0123456789abcdef" for c in name)


with tempfile.TemporaryDirectory() as scratch:
    control = os.path.join(scratch, "control")
    merged = os.path.join(scratch, "merged")
    os.mkdir(merged)
    env = dict(os.environ, UBSAN_OPTIONS="halt_on_error=1:suppressions=" + os.path.join(root, "fuzz/ubsan.supp"))
    subprocess.run([program, "-merge=1", "-merge_control_file=" + control, merged, corpus, work],
                   env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(control) as f:
        lines = f.read().splitlines()
    file_count = int(lines[0])
    files = lines[2:2 + file_count]
    features = {}
    for line in lines[2 + file_count:]:
        parts = line.split()
        if parts and parts[0] == "FT":
            features[int(parts[1])] = set(parts[2:])

    reached = set()
    for index, path in enumerate(files):
        if os.path.dirname(path) == corpus and kept(os.path.basename(path)):
            reached |= features.get(index, set())
    chosen = []
    candidates = {i: features.get(i, set()) for i, path in enumerate(files) if os.path.dirname(path) != corpus
                  or not kept(os.path.basename(path))}
    while len(chosen) < count and candidates:
        best = max(candidates, key=lambda i: (len(candidates[i] - reached), -os.path.getsize(files[i])))
        if not candidates[best] - reached:
            break
        chosen.append(best)
        reached |= candidates.pop(best)

    inputs = []
    for index in chosen:
        with open(files[index], "rb") as f:
            inputs.append(f.read())
    for name in os.listdir(corpus):
        if not kept(name):
            os.remove(os.path.join(corpus, name))
    for data in inputs:
        with open(os.path.join(corpus, hashlib.sha1(data).hexdigest()), "wb") as f:
            f.write(data)
    total = set().union(*features.values()) if features else set()
    print(f"{target}: kept {len(chosen)} inputs besides the seeds and reproducers, "
          f"{len(reached)} of {len(total)} features")
