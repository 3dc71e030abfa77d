# Reference function of alu.v (alu.edf was written from it by yosys). EDIF
# member k of a 4-bit port is Verilog bit 3-k, so "a[0]" is the MSB a[3].
def outputs(v):
    def word(name, width):
        return sum(v["%s[%d]" % (name, k)] << (width - 1 - k) for k in range(width))
    a, b, op = word("a", 4), word("b", 4), word("op", 2)
    r = [(a + b) & 15, a & b, a ^ b, ~(a | b) & 15][op]
    out = {"y[%d]" % k: (r >> (3 - k)) & 1 for k in range(4)}
    out["zero"] = int(r == 0)
    return out
