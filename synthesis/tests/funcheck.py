#!/usr/bin/env python3
"""Function check of a synthesised model.

Synthesises an EDIF file at macro and at gate level, simulates a set of
patterns with `analyze` (which rewrites <design>.tst with every variable's
value) and compares the output columns with a reference evaluation of the
netlist written by hand in a Python file that defines outputs(values).

usage: funcheck.py <edif> <library> <reference.py> [edifsyn options...]
"""
import os
import random
import re
import shutil
import subprocess
import sys


def read_model(path):
    stat = None
    names, flags = [], []
    for line in open(path):
        if line.startswith("STAT#"):
            stat = [int(x) for x in re.findall(r"\d+", line)]
        m = re.match(r'VAR#\s+\d+:\s+\(([^)]*)\)\s+"([^"]*)"', line)
        if m:
            flags.append(m.group(1))
            names.append(m.group(2))
    return stat, names


def main():
    edif, lib, ref = sys.argv[1:4]
    opts = sys.argv[4:]
    scope = {}
    exec(open(ref).read(), scope)
    outputs = scope["outputs"]
    base = os.path.basename(edif)
    shutil.copy(edif, base)
    design = base.split(".")[0]
    failed = False
    for level in ([], ["-gate_level"]):
        run = subprocess.run(["edifsyn"] + opts + level + [base, lib], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            print("edifsyn failed:", run.stderr.strip())
            return 1
        stat, names = read_model(design + ".agm")
        nods, nvars, grps, inps, cons, outs = stat
        inputs = names[:inps]
        if len(inputs) <= 12:
            patterns = [[(p >> (len(inputs) - 1 - i)) & 1 for i in range(len(inputs))]
                        for p in range(1 << len(inputs))]
        else:
            rng = random.Random(1)
            patterns = [[rng.randint(0, 1) for _ in inputs] for _ in range(500)]
        with open(design + ".tst", "w") as f:
            f.write("\n.VECTORS %d\n\n.PATTERNS\n\n" % len(patterns))
            for p in patterns:
                f.write("".join(str(b) for b in p) + "\n")
        run = subprocess.run(["analyze", design], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            print("analyze failed:", run.stderr.strip())
            return 1
        rows, section = [], None
        for line in open(design + ".tst"):
            line = line.rstrip("\n")
            if line.startswith("."):
                section = line
            elif section == ".PATTERNS" and line and not line[0].isspace():
                rows.append(line)
        bad = 0
        for p, row in zip(patterns, rows):
            want = outputs(dict(zip(inputs, p)))
            for k in range(nvars - outs, nvars):
                got = {"L": 0, "H": 1}.get(row[k])
                if got != want[names[k]]:
                    bad += 1
                    if bad <= 5:
                        print("mismatch %s: inputs %s output %s = %s, expected %d" %
                              (" ".join(level) or "macro", "".join(map(str, p)), names[k], row[k], want[names[k]]))
        if len(rows) != len(patterns):
            print("analyze wrote %d patterns of %d" % (len(rows), len(patterns)))
            bad += 1
        failed = failed or bad > 0
        print("%s level: %d patterns, %d outputs, %d nodes, %d graphs: %s" %
              ("gate" if level else "macro", len(patterns), outs, nods, grps, "FAIL" if bad else "OK"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
