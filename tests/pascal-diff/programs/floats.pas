// Floating-point arithmetic, the float an Integer meets, rounding and the float's text, where a zero has no sign.
program Floats;

var
  x, y, sum, zero: Double;
  i: Integer;

begin
  ShowMessage(FloatToStr(7 / 2) + ' ' + FloatToStr(-7 / 2) + ' ' + FloatToStr(6 / 3));
  ShowMessage(FloatToStr(1 / 3) + ' ' + FloatToStr(2 / 3) + ' ' + FloatToStr(0.1 + 0.2));
  ShowMessage(FloatToStr(1.5e10) + ' ' + FloatToStr(1e15) + ' ' + FloatToStr(1e16) + ' ' + FloatToStr(123456789012345678.0));
  ShowMessage(FloatToStr(0.0001) + ' ' + FloatToStr(0.000001) + ' ' + FloatToStr(-2.5e-8) + ' ' + FloatToStr(1e-300));
  ShowMessage(FloatToStr(0.0) + ' ' + FloatToStr(-0.5) + ' ' + FloatToStr(100.0) + ' ' + FloatToStr(3.14159265358979));
  zero := 0;
  x := -zero;
  ShowMessage(FloatToStr(x) + ' ' + FloatToStr(-1 * zero) + ' ' + FloatToStr(zero * -2.5) + ' ' + FloatToStr(x + zero));
  i := 3;
  x := i + 0.25;
  y := i * 2.5;
  ShowMessage(FloatToStr(x) + ' ' + FloatToStr(y) + ' ' + FloatToStr(x * y - i));
  ShowMessage('Round: ' + IntToStr(Round(0.5)) + ' ' + IntToStr(Round(1.5)) + ' ' + IntToStr(Round(2.5)) + ' ' +
    IntToStr(Round(-2.5)) + ' ' + IntToStr(Round(2.51)) + ' ' + IntToStr(Round(-0.49)));
  ShowMessage('Trunc: ' + IntToStr(Trunc(2.9)) + ' ' + IntToStr(Trunc(-2.9)) + ' ' + IntToStr(Trunc(1e9)));
  ShowMessage('Abs: ' + FloatToStr(Abs(-2.75)) + ' ' + IntToStr(Abs(-12)) + ' ' + IntToStr(Abs(12)));
  sum := 0;
  for i := 1 to 10 do
    sum := sum + 0.1;
  ShowMessage('ten tenths: ' + FloatToStr(sum));
  if sum = 1.0 then
    ShowMessage('exactly one')
  else
    ShowMessage('not exactly one');
  x := 1;
  for i := 1 to 20 do
    x := x * i;
  ShowMessage('20! = ' + FloatToStr(x));
  x := 2;
  y := 1;
  // Newton's square root of 2
  for i := 1 to 6 do
    y := (y + x / y) / 2;
  ShowMessage('sqrt 2 = ' + FloatToStr(y));
  ShowMessage(FloatToStr(StrToFloat('2.5') * 4) + ' ' + FloatToStr(StrToFloat('-1E3')));
  if 0.5 < 1 then
    ShowMessage('0.5 < 1');
  if 3 = 3.0 then
    ShowMessage('3 = 3.0');
end.
