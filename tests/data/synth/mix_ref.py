# Reference function of mix.edf: a 2-bit adder of two full-adder macros, and
# z = NOR(NAND3(a0, carry1, s1), NOT en), y2 = en AND 1.
def outputs(v):
    a0, a1, b0, b1, cin, en = v["a[0]"], v["a[1]"], v["b[0]"], v["b[1]"], v["cin"], v["en"]
    s0 = a0 ^ b0 ^ cin
    c1 = (a0 & b0) | ((a0 ^ b0) & cin)
    s1 = a1 ^ b1 ^ c1
    cout = (a1 & b1) | ((a1 ^ b1) & c1)
    nand3 = 1 - (a0 & c1 & s1)
    z = 1 - (nand3 | (1 - en))
    return {"s[0]": s0, "s[1]": s1, "cout": cout, "z": z, "y2": en}
