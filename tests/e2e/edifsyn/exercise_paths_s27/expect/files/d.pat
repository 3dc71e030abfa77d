
Gates: 10	Nodes: 16
 
   node 0:	0 
   node 1:	1 
   node 2:	1 
   node 3:	3 
   node 4:	3 
   node 5:	7 
   node 6:	2->6->7 
   node 7:	2->6->7 
   node 8:	5->6->7 
   node 9:	5->6->7 
   node 10:	8 
   node 11:	4 
   node 12:	4 
   node 13:	 
   node 14:	9 
   node 15:	9 
