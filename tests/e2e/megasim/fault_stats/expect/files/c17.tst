
.VECTORS 6

; Statistics of fault discovery
; Node index | SA-0 | SA-1
.FAULT_STATS

        0        2        1
        1        2        1
        2        2        1
        3        2        1
        4        2        1
        5        2        0
        6        2        2
        7        3        2
        8        1        2
        9        1        1

