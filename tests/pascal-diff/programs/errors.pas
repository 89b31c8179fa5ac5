// Errors the run raises itself: the class of each, caught by its own name or as Exception, while the
// text, which the two runtimes word differently, is only checked for being there.
program RuntimeErrors;

var
  zero, n: Integer;
  x: Double;
  s: string;

procedure Report(const what: string; E: Exception);
begin
  if E.Message <> '' then
    ShowMessage(what + ': ' + E.ClassName + ' with a message')
  else
    ShowMessage(what + ': ' + E.ClassName + ' without a message');
end;

begin
  zero := 0;
  try
    x := 1 / zero;
    ShowMessage(FloatToStr(x));
  except
    on E: EZeroDivide do
      Report('1 / 0', E);
  end;
  try
    x := zero / zero;
    ShowMessage(FloatToStr(x));
  except
    on E: EMathError do
      ShowMessage('0 / 0 is a math error');
  end;
  try
    n := 10 div zero;
    ShowMessage(IntToStr(n));
  except
    on E: EMathError do
      ShowMessage('wrong: an integer division is no math error');
    on E: EIntError do
      Report('10 div 0', E);
  end;
  try
    n := 10 mod zero;
    ShowMessage(IntToStr(n));
  except
    on E: EDivByZero do
      Report('10 mod 0', E);
  end;
  try
    n := StrToInt('12a');
    ShowMessage(IntToStr(n));
  except
    on E: EConvertError do
      Report('StrToInt(''12a'')', E);
  end;
  try
    x := StrToFloat('1.5.2');
    ShowMessage(FloatToStr(x));
  except
    on E: EConvertError do
      Report('StrToFloat(''1.5.2'')', E);
  end;
  s := 'still running';
  try
    n := StrToInt('');
  except
    on E: Exception do
      s := s + ' after ' + E.ClassName;
  end;
  ShowMessage(s);
end.
