// 0 / 0 has no value and raises EInvalidOp; a non-zero number divided by zero raises EZeroDivide.
program InvalidOp;

var
  zero, x: Double;

begin
  zero := 0;
  try
    x := zero / zero;
    ShowMessage(FloatToStr(x));
  except
    on E: EMathError do
      ShowMessage(E.ClassName);
  end;
end.
