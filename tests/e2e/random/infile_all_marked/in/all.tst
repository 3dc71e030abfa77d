
.VECTORS 0

.FAULTS

&&&&&&&&&&
