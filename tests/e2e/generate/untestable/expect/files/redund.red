Node 0 (a_g): sa-0
Node 1 (b_g): sa-0
Node 1 (b_g): sa-1
Node 2 (g): sa-0
