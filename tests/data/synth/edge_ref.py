# Reference function of edge.edf: outputs fed by an input directly (also
# read by a gate), by one gate twice, and by the -vdd constant.
def outputs(v):
    a, b = v["a"], v["b"]
    return {"thru": a, "ab1": a & b, "ab2": a & b, "nab": 1 - (a & b), "one": 1, "a2": a}
