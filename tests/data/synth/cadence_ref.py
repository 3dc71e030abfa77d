# Reference function of cadence.edf: bit 1 of d reaches g1 through a patch
# named in the usual direction, bit 0 reaches g2 through one whose pins are
# named the other way round; GND and VDD are the -gnd and -vdd nets.
def outputs(v):
    d0, d1, e = v["d[0]"], v["d[1]"], v["e"]
    return {"y": d1 & e, "z": d0 | 0, "w": 1 - (e & 1)}
