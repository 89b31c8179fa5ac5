// FloatToStr writes fixed-point digits down to 0.00001 and a zero without a sign.
program FloatText;

var
  x, zero: Double;

begin
  ShowMessage(FloatToStr(0.00001) + ' ' + FloatToStr(0.0000123) + ' ' + FloatToStr(-0.00005) + ' ' +
    FloatToStr(0.000009999));
  zero := 0;
  x := -zero;
  ShowMessage(FloatToStr(x) + ' ' + FloatToStr(-1 * zero));
end.
