
.VECTORS 30


.PATTERNS

111hxxxxxxx
x10hxxxxhxx
1xxhhxxxxxx
0x1hlxllxxx
x00hxxlllLL
1x1hhxlxxLx
010hlxhlhLH
00xhlxxllLL
0x0hlxxlxxL
110hhxxhhxL
010hlxhlhxH
001hlxlllLL
111hhxlhhLL
110hhxhhhLH
0x1hlxllxxx
101hhxlllLL
00xhlxxllLx
000hlxxllLL
110hhxxhhxL
010hlxhlhxH
010hlxhlhHL
000hlxhllLL
0xxhlxxlxxL
101hhxlllLL
011hlxllhLx
001hlxlllLL
1x0hhxlxxLL
001hlxlllLx
011hlxllhLL
011hlxllhLL

.FAULTS

&X&X0XX0&&&&XX

.COVERAGE

14 / 28 = 50.000000 %

