program Hierarchy;
procedure Probe(n: Integer);
var zero: Integer;
begin
  zero := 0;
  try
    case n of
      1: raise EZeroDivide.Create('script');
      2: raise EInvalidOp.Create('script');
      3: zero := 1 div zero;
      4: Fail('host');
      5: raise EMine.Create('own');
      6: raise EAbort.Create('quiet');
    end;
  except
    on E: EZeroDivide do ShowMessage('zero ' + E.ClassName);
    on E: EMathError do ShowMessage('math ' + E.ClassName);
    on E: EIntError do ShowMessage('int ' + E.ClassName);
    on E: EAbort do raise;
    on E: Exception do ShowMessage(E.ClassName + E.Message);
  end;
end;
var i: Integer;
begin
  for i := 1 to 6 do
    try Probe(i) except on E: Exception do raise E end;
end.
