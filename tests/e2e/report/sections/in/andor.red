Node 1 (b): sa-1
Node 4 (b_z): sa-0