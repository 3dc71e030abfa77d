module alu(input [3:0] a, input [3:0] b, input [1:0] op, output [3:0] y, output zero);
  reg [3:0] r;
  always @* case (op)
    2'b00: r = a + b;
    2'b01: r = a & b;
    2'b10: r = a ^ b;
    default: r = ~(a | b);
  endcase
  assign y = r;
  assign zero = (r == 4'b0000);
endmodule
