
.VECTORS 22


.PATTERNS

001hxxxxxxx
001hlxlllLx
010hlxllhLL
010hlxllhLL
001hlxlllLL
001hlxlllLL
101hhxlllLL
011hlxllhLx
001hlxlllLL
010hlxllhLL
011hlxllhLL
011hlxllhLL
000hlxlllLL
110hhxlhhLL
011hlxllhLx
110hhxlhhLL
010hlxhlhLH
010hlxhlhHL
111hhxlhhHL
101hhxlllLx
010hlxhlhLH
101hhxlllLL

.FAULTS

&1&&&XX0&&&&XX

.COVERAGE

18 / 28 = 64.285714 %

