Node 0 (K1_k): sa-1
Node 2 (k_g): sa-1
Node 4 (K0_y): sa-0
Node 5 (b_y): sa-0
Node 5 (b_y): sa-1
Node 6 (k_z): sa-1
