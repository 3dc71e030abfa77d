#!/usr/bin/env python3
# Recomputes the registers of a BIST file from its strings alone, the
# register as a list of bits with its own shift and XOR: the generator's (in
# CSTP the one register's) states must be each pattern's inputs, and the
# analyser compacting each pattern's outputs must end in the file's signature.
# Prints what differs; exit status 1 then.
# Usage: sigref.py <file> <inputs> <outputs> <bilbo|cstp> <modular 0|1> <lsb 0|1> <step>
import sys
f, ni, no, arr, modular, lsb, step = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], int(sys.argv[5]), int(sys.argv[6]), int(sys.argv[7])
lines = open(f).read().split('\n')
sec = None; vals = {}; rows = []
for ln in lines:
    t = ln.split()
    if not t: continue
    if t[0] in ('.GENERATOR', '.ANALYZER', '.PATTERNS', '.TABLE', '.FAULTS', '.COVERAGE', '.VECTORS'):
        sec = t[0]; continue
    if sec in ('.GENERATOR', '.ANALYZER') and t[0].startswith('.'):
        vals[(sec, t[0])] = t[1]
    elif sec == '.PATTERNS':
        rows.append(t[0])
def step1(s, poly, outs):
    L = len(s); P = no
    if not modular:
        fb = 0
        for i in range(L):
            if poly[i] == '1': fb ^= s[i]
        n = [fb] + s[:-1]
    else:
        b = s[0]
        n = s[1:] + [0]
        if b:
            n = [n[i] ^ (1 if poly[i] == '1' else 0) for i in range(L)]
    if outs is not None:
        for k in range(P):
            pos = k if lsb == 0 else L - P + k
            if pos < L: n[pos] ^= outs[k]
    return n
bits = lambda s: [int(c) for c in s]
outs_of = lambda r: [1 if c in 'H1h' else 0 for c in r[len(r) - no:]]
ins_of = lambda r: [int(c) for c in r[:ni]]
ok = True
if arr == 'bilbo':
    g = bits(vals[('.GENERATOR', '.INITIAL_STATE')]); gp = vals[('.GENERATOR', '.POLYNOMIAL')]
    a = bits(vals[('.ANALYZER', '.INITIAL_STATE')]); ap = vals[('.ANALYZER', '.POLYNOMIAL')]
    for i, r in enumerate(rows):
        if ins_of(r) != g[:ni]: print('inputs differ at', i); ok = False; break
        for _ in range(step): g = step1(g, gp, None)
        a = step1(a, ap, outs_of(r))
else:
    a = bits(vals[('.ANALYZER', '.INITIAL_STATE')]); ap = vals[('.ANALYZER', '.POLYNOMIAL')]
    for i, r in enumerate(rows):
        if ins_of(r) != a[:ni]: print('inputs differ at', i); ok = False; break
        a = step1(a, ap, outs_of(r))
sig = ''.join(map(str, a))
if ok and sig != vals[('.ANALYZER', '.SIGNATURE')]:
    print('signature', sig, 'file', vals[('.ANALYZER', '.SIGNATURE')]); ok = False
sys.exit(0 if ok else 1)
