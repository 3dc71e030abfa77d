
.VECTORS 44


.PATTERNS

0011xxxxxxxx
1010lxllllhH
0101hllhlllH
0100hllhlllH
0011hllllllH
0011hhllhhlL
0010hhhlhhlL
0110hlhlhhlL
1010lhllllhH
1010lhllllhH
0010hhlllllH
0101hllhlllH
1010llllllhH
1001lhllllhH
1000lhllllhH
1010lhllllhH
1010lhllllhH
0010hhlllllH
1100lllhllhH
0110hllllllH
1010lhllllhH
1010lhllllhH
0101hllhlllH
0111hllllllH
1000lhllllhH
1001lhllllhH
0110hllllllH
0100hllhlllH
1111llllllhH
0111hllllllH
1011lhllhhlL
0101hlhhhhlL
0000hlhhhhlL
0001hlhhhhlL
1101lllhllhH
1111llllllhH
1110llllllhH
1010lhllllhH
0101hllhlllH
0100hllhlllH
0011hllllllH
0000hhlllllH
0000hhlllllH
1001lhllhhlL

.FAULTS

&&&&&&&&&&&&&&&&

.COVERAGE

32 / 32 = 100.000000 %

