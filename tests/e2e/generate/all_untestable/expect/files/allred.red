Node 0 (K1_first): sa-0
Node 0 (K1_first): sa-1
Node 1 (K1_second): sa-0
Node 1 (K1_second): sa-1
