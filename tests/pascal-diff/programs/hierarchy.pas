// The exception classes as a tree: a handler for a class takes its descendants in written order, whoever
// raised them, and leaves other branches to the next handler.
program Hierarchy;

var
  i: Integer;

procedure Fail(kind: Integer);
var
  zero: Integer;
begin
  zero := 0;
  case kind of
    0: raise EZeroDivide.Create('raised zero divide');
    1: raise EInvalidOp.Create('raised invalid op');
    2: raise EOverflow.Create('raised overflow');
    3: raise EMathError.Create('raised math error');
    4: raise EConvertError.Create('raised convert error');
    5: raise EInvalidCast.Create('raised invalid cast');
    6: raise EInvalidPointer.Create('raised invalid pointer');
    7: raise EAbort.Create('raised abort');
    8: raise Exception.Create('raised plain');
    9: ShowMessage(FloatToStr(1 / zero));
  end;
end;

procedure Sort(kind: Integer);
begin
  try
    Fail(kind);
  except
    on E: EZeroDivide do
      ShowMessage(IntToStr(kind) + ' zero divide: ' + E.ClassName);
    on E: EMathError do
      ShowMessage(IntToStr(kind) + ' math: ' + E.ClassName + ' ' + E.Message);
    on E: EAbort do
      ShowMessage(IntToStr(kind) + ' abort: ' + E.Message);
    on E: Exception do
      ShowMessage(IntToStr(kind) + ' other: ' + E.ClassName + ' ' + E.Message);
  end;
end;

procedure OnlyMath(kind: Integer);
begin
  try
    try
      Fail(kind);
    except
      on E: EMathError do
        ShowMessage(IntToStr(kind) + ' inner took ' + E.ClassName);
    end;
  except
    on E: Exception do
      ShowMessage(IntToStr(kind) + ' outer took ' + E.ClassName);
  end;
end;

begin
  for i := 0 to 9 do
    Sort(i);
  for i := 0 to 5 do
    OnlyMath(i);
  try
    try
      Fail(2);
    except
      on E: EZeroDivide do
        ShowMessage('wrong handler');
    end;
  except
    on E: EOverflow do
      ShowMessage('the overflow passed the zero-divide handler');
  end;
  try
    Abort;
  except
    on E: EAbort do
      ShowMessage('Abort raises EAbort');
  end;
end.
