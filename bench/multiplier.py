#!/usr/bin/env python3
"""Writes an n x n array multiplier as an ISCAS'89 .bench netlist.

A carry-save array of adders over the n * n partial products (AND gates),
closed by a ripple-carry row: n * (n - 2) full adders and n half adders.
A full adder is nine NAND gates (two exclusive-ors sharing their first gate
with the carry), a half adder four NANDs and an AND.  The result is a deep,
heavily reconvergent combinational circuit: for n = 16 it has 2,352 gates.

Inputs a0..a{n-1} and b0..b{n-1}, outputs p0..p{2n-1} (least significant
first).

Usage: multiplier.py <n> > mult<n>.bench
"""
import sys


class Netlist:
    def __init__(self):
        self.gates = []
        self.count = 0

    def gate(self, kind, *ins):
        self.count += 1
        name = "g%d" % self.count
        self.gates.append("%s = %s(%s)" % (name, kind, ", ".join(ins)))
        return name

    def xor(self, a, b):
        """Exclusive-or of four NANDs; also returns the first NAND (NOT (a AND b))."""
        nab = self.gate("NAND", a, b)
        return self.gate("NAND", self.gate("NAND", a, nab), self.gate("NAND", b, nab)), nab

    def half_adder(self, a, b):
        s, _ = self.xor(a, b)
        return s, self.gate("AND", a, b)

    def full_adder(self, a, b, c):
        x, nab = self.xor(a, b)
        s, nxc = self.xor(x, c)
        return s, self.gate("NAND", nab, nxc)


def multiplier(n):
    net = Netlist()
    a = ["a%d" % i for i in range(n)]
    b = ["b%d" % i for i in range(n)]
    pp = [[net.gate("AND", a[j], b[i]) for j in range(n)] for i in range(n)]
    product = []
    # Row i holds the sums of weight i + j in s[j] and the carries of weight
    # i + j + 1 in c[j]; bit i of the product leaves from s[0].
    s = pp[0][:]
    c = None
    product.append(s[0])
    for i in range(1, n):
        ns, nc = [], []
        for j in range(n - 1):
            if c is None:
                sj, cj = net.half_adder(pp[i][j], s[j + 1])
            else:
                sj, cj = net.full_adder(pp[i][j], s[j + 1], c[j])
            ns.append(sj)
            nc.append(cj)
        ns.append(pp[i][n - 1])
        s, c = ns, nc
        product.append(s[0])
    # Ripple-carry row: adds s[1..n-1] and c[0..n-2], weights n .. 2n-2.
    carry = None
    for j in range(n - 1):
        if carry is None:
            bit, carry = net.half_adder(s[j + 1], c[j])
        else:
            bit, carry = net.full_adder(s[j + 1], c[j], carry)
        product.append(bit)
    product.append(carry)
    return a + b, product, net.gates


def main():
    if len(sys.argv) != 2 or not sys.argv[1].isdigit() or int(sys.argv[1]) < 2:
        sys.exit("usage: multiplier.py <n>   (n >= 2)")
    n = int(sys.argv[1])
    inputs, outputs, gates = multiplier(n)
    out = sys.stdout
    out.write("# %d inputs\n# %d outputs\n# 0 D-type flipflops\n# 0 inverters\n# %d gates\n\n"
              % (len(inputs), len(outputs), len(gates)))
    for name in inputs:
        out.write("INPUT(%s)\n" % name)
    out.write("\n")
    # No product bit feeds another gate, so its gate takes the bit's name.
    rename = {name: "p%d" % k for k, name in enumerate(outputs)}
    for k in range(len(outputs)):
        out.write("OUTPUT(p%d)\n" % k)
    out.write("\n")
    for g in gates:
        name, rest = g.split(" = ", 1)
        out.write("%s = %s\n" % (rename.get(name, name), rest))


if __name__ == "__main__":
    main()
