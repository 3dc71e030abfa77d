Node 27 (CONST1_0): sa-1
