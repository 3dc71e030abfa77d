# Reference function of nested.edf: a 2-bit adder of full adders, each of
# two half-adder macros, with the carry-in tied to a[1].
def outputs(v):
    a, b = v["a[0]"] * 2 + v["a[1]"], v["b[0]"] * 2 + v["b[1]"]
    r = a + b + v["a[1]"]
    return {"s[2]": r & 1, "s[1]": (r >> 1) & 1, "s[0]": (r >> 2) & 1}
