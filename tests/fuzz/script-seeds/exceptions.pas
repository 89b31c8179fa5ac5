procedure Check(n: Integer);
begin
  try
    if n = 1 then Fail('host');
    if n = 2 then raise EMyError.Create('mine');
    if n = 3 then n := n div (n - 3);
  finally
    ShowMessage('done ' + IntToStr(n));
  end;
end;
var i: Integer;
begin
  for i := 0 to 4 do
    try
      Check(i);
    except
      on E: EConvertError do ShowMessage(E.Message);
      on E: EMathError do ShowMessage(E.ClassName);
      on E: Exception do
        try
          raise;
        except
          ShowMessage('again');
        end;
    end;
  try
    raise Exception.Create('out');
  except
    on E: Exception do raise E;
  end;
end.
