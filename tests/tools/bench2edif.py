#!/usr/bin/env python3
"""Writes an ISCAS'89 .bench netlist as a flat EDIF 2.0.0 netlist of library
cells, so that the EDIF synthesis can be run and checked on real circuits.

usage: bench2edif.py <in.bench> <stem> [--verilog] [--copies K] [--reset]

Writes, in the current folder:
  <stem>.edf    the netlist: one instance per gate (cells AND<n>, NAND<n>,
                OR<n>, NOR<n>, INV, BUF, DFF from an external library "GATES"),
                one net per signal; input ports carry the INPUT names, output
                ports the OUTPUT names with "_OUT" appended (the names
                benchcheck expects of a model)
  <stem>.cells  the cell-library source of the cells used, for cellcomp
                (inputs A0, A1, ..., output Y)
  <stem>.ff     the flip-flop cell DFF as a record of the compiled library
                (the compiler makes no flip-flops): append it to the
                library that cellcomp writes
  <stem>.bench  the netlist again, with every signal name made an EDIF
                identifier (letters, digits and '_'), for benchcheck
  <stem>.v      with --verilog: the same netlist as structural Verilog
                (gate primitives; flip-flops clocked by an input "CK"), for
                other tools to turn into EDIF
With --copies K the netlist is K independent copies of the circuit (the
signals of copy k > 0 end in "_k"), for measuring how synthesis scales.
With --reset the flip-flops are instances of DFFAR instead, a D flip-flop
with clock pin CK and active-high reset pin R, driven by the input ports
"clock" and "reset" (the last two ports); <stem>.ff then holds DFFAR's record,
whose reset clears the data through gates of the record (Q = flipflop(D*!R)),
and <stem>.bench the same reset written out as gates (an input "reset", one
NOT and one AND per flip-flop).  Not with --verilog.
"""
import argparse
import re
import sys

DFF_RECORD = '\n"FLIPFLOP"\n\n:Q=D\n"DFF" 2\n0\tD inpt 1 0\n1\tQ flipflop 0 1\n0 \n\n'
# The reset reaches the flip-flop through gates of the record, so it stays an
# input of the model that can clear the state.
DFFAR_RECORD = ('\n"FLIPFLOP"\n\n:Q=D*!R\n"DFFAR" 5\n0\tD inpt 1 0\n1\tR inpt 1 0\n'
                '2\tnot0 not 1 1\n1 \n3\tand0 and 1 2\n0 2 \n4\tQ flipflop 0 1\n3 \n\n')


def read_bench(path):
    inputs, outputs, gates = [], [], []
    for raw in open(path):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        m = re.match(r"(INPUT|OUTPUT)\s*\(\s*([^)\s]+)\s*\)$", line)
        if m:
            (inputs if m.group(1) == "INPUT" else outputs).append(m.group(2))
            continue
        m = re.match(r"([^=\s]+)\s*=\s*(\w+)\s*\((.*)\)$", line)
        if not m:
            sys.exit("%s: unrecognised line: %s" % (path, line))
        args = [a.strip() for a in m.group(3).split(",")]
        gates.append((m.group(1), m.group(2).upper(), args))
    return inputs, outputs, gates


def identifiers(names):
    """Maps every name to a distinct EDIF identifier."""
    taken, out = set(), {}
    for n in names:
        if n in out:
            continue
        ident = re.sub(r"[^A-Za-z0-9_]", "_", n)
        if not ident[0].isalpha():
            ident = "N" + ident
        base, k = ident, 1
        while ident in taken:
            ident = "%s_%d" % (base, k)
            k += 1
        taken.add(ident)
        out[n] = ident
    return out


def cell_of(kind, width):
    if kind == "NOT":
        return "INV"
    if kind == "BUFF":
        return "BUF"
    if kind == "DFF":
        return "DFF"
    return "%s%d" % (kind, width)


def pins(cell, width):
    return ["D"] if cell == "DFF" else ["A%d" % k for k in range(width)]


def replicate(inputs, outputs, gates, copies):
    def name(n, k):
        return n if k == 0 else "%s_%d" % (n, k)
    return ([name(n, k) for k in range(copies) for n in inputs],
            [name(n, k) for k in range(copies) for n in outputs],
            [(name(n, k), kind, [name(a, k) for a in args]) for k in range(copies) for n, kind, args in gates])


def main():
    ap = argparse.ArgumentParser(usage=__doc__)
    ap.add_argument("bench")
    ap.add_argument("stem")
    ap.add_argument("--verilog", action="store_true")
    ap.add_argument("--copies", type=int, default=1)
    ap.add_argument("--reset", action="store_true")
    opts = ap.parse_args()
    src, stem, verilog, reset = opts.bench, opts.stem, opts.verilog, opts.reset
    if reset and verilog:
        sys.exit("--reset and --verilog exclude each other")
    inputs, outputs, gates = replicate(*read_bench(src), max(1, opts.copies))
    ident = identifiers(inputs + outputs + [g[0] for g in gates] + [a for g in gates for a in g[2]])
    inputs = [ident[n] for n in inputs]
    outputs = [ident[n] for n in outputs]
    gates = [(ident[n], kind, [ident[a] for a in args]) for n, kind, args in gates]
    flops = [n for n, kind, _ in gates if kind == "DFF"]
    if reset:
        added = ["clock", "reset", "reset_n"] + ["%s_r" % n for n in flops]
        clash = set(added) & set(ident.values())
        if clash:
            sys.exit("%s: --reset needs the names %s" % (src, ", ".join(sorted(clash))))

    with open(stem + ".bench", "w") as f:
        for n in inputs + (["reset"] if reset else []):
            f.write("INPUT(%s)\n" % n)
        for n in outputs:
            f.write("OUTPUT(%s)\n" % n)
        for n, kind, args in gates:
            if reset and kind == "DFF":
                f.write("%s = DFF(%s_r)\n%s_r = AND(%s, reset_n)\n" % (n, n, n, args[0]))
            else:
                f.write("%s = %s(%s)\n" % (n, kind, ", ".join(args)))
        if reset:
            f.write("reset_n = NOT(reset)\n")

    def cell_name(kind, width):
        return "DFFAR" if reset and kind == "DFF" else cell_of(kind, width)

    # Every cell used, with the gate type and fan-in it stands for.
    cells = sorted({(cell_name(kind, len(args)), kind, len(args)) for _, kind, args in gates})
    ops = {"AND": ("*", False), "NAND": ("*", True), "OR": ("+", False), "NOR": ("+", True)}
    with open(stem + ".cells", "w") as f:
        for c, kind, width in cells:
            if kind == "DFF":
                continue
            if c == "INV":
                f.write("GATE INV Y = !A0;\n")
                continue
            if c == "BUF":
                f.write("GATE BUF Y = A0;\n")
                continue
            op, inv = ops[kind]
            expr = op.join(pins(c, width))
            f.write("GATE %s Y = %s;\n" % (c, "!(%s)" % expr if inv else expr))

    with open(stem + ".ff", "w") as f:
        f.write(DFFAR_RECORD if reset else DFF_RECORD)

    # Nets: the driver of every signal and its readers.
    readers = {}
    for n, kind, args in gates:
        cell = cell_of(kind, len(args))
        for pin, a in zip(pins(cell, len(args)), args):
            readers.setdefault(a, []).append("(portRef %s (instanceRef g_%s))" % (pin, n))
    for n in outputs:
        readers.setdefault(n, []).append("(portRef %s_OUT)" % n)
    driver = {n: "(portRef %s)" % n for n in inputs}
    for n, kind, args in gates:
        driver[n] = "(portRef %s (instanceRef g_%s))" % ("Q" if kind == "DFF" else "Y", n)
    if reset:
        for port, pin in (("clock", "CK"), ("reset", "R")):
            driver[port] = "(portRef %s)" % port
            readers[port] = ["(portRef %s (instanceRef g_%s))" % (pin, n) for n in flops]

    with open(stem + ".edf", "w") as f:
        f.write("(edif %s\n  (edifVersion 2 0 0)\n  (edifLevel 0)\n  (keywordMap (keywordLevel 0))\n" % stem)
        f.write("  (external GATES\n    (edifLevel 0)\n    (technology (numberDefinition))\n")
        for c, kind, width in cells:
            ins = pins("DFF", 1) + (["CK", "R"] if reset else []) if kind == "DFF" else pins(c, width)
            ports = " ".join("(port %s (direction INPUT))" % p for p in ins)
            out = "Q" if kind == "DFF" else "Y"
            f.write("    (cell %s (cellType GENERIC)\n      (view net (viewType NETLIST)\n"
                    "        (interface %s (port %s (direction OUTPUT)))))\n" % (c, ports, out))
        f.write("  )\n  (library WORK\n    (edifLevel 0)\n    (technology (numberDefinition))\n")
        f.write("    (cell top (cellType GENERIC)\n      (view net (viewType NETLIST)\n        (interface\n")
        for n in inputs + (["clock", "reset"] if reset else []):
            f.write("          (port %s (direction INPUT))\n" % n)
        for n in outputs:
            f.write("          (port %s_OUT (direction OUTPUT))\n" % n)
        f.write("        )\n        (contents\n")
        for n, kind, args in gates:
            f.write("          (instance g_%s (viewRef net (cellRef %s (libraryRef GATES))))\n"
                    % (n, cell_name(kind, len(args))))
        for sig in sorted(readers):
            if sig not in driver:
                sys.exit("%s: signal %s is read but never defined" % (src, sig))
            f.write("          (net %s (joined %s %s))\n" % (sig, driver[sig], " ".join(readers[sig])))
        f.write("        )))\n  )\n  (design %s (cellRef top (libraryRef WORK)))\n)\n" % stem)

    if not verilog:
        return
    prim = {"AND": "and", "NAND": "nand", "OR": "or", "NOR": "nor", "NOT": "not", "BUFF": "buf"}
    seq = any(kind == "DFF" for _, kind, _ in gates)
    with open(stem + ".v", "w") as f:
        ports = inputs + ["%s_OUT" % n for n in outputs] + (["CK"] if seq else [])
        f.write("module top(%s);\n" % ", ".join(ports))
        for n in inputs + (["CK"] if seq else []):
            f.write("  input %s;\n" % n)
        for n in outputs:
            f.write("  output %s_OUT;\n" % n)
        defined = set(inputs)
        for n, kind, args in gates:
            if n not in defined:
                f.write("  %s %s;\n" % ("reg" if kind == "DFF" else "wire", n))
                defined.add(n)
        for n, kind, args in gates:
            if kind == "DFF":
                f.write("  always @(posedge CK) %s <= %s;\n" % (n, args[0]))
            else:
                f.write("  %s g_%s (%s, %s);\n" % (prim[kind], n, n, ", ".join(args)))
        for n in outputs:
            f.write("  assign %s_OUT = %s;\n" % (n, n))
        f.write("endmodule\n")


if __name__ == "__main__":
    main()
