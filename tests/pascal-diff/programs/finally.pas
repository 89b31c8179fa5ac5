// try ... finally: the order of finally blocks as an exception unwinds, a finally inside a handler, an
// exception raised in a finally replacing the first, and loops that go on after a handled failure.
program FinallyBlocks;

var
  log: string;
  i, ok, failed: Integer;

procedure Note(const s: string);
begin
  log := log + s + ' ';
end;

procedure Layered;
begin
  try
    Note('a');
    try
      Note('b');
      raise Exception.Create('deep');
      Note('never');
    finally
      Note('inner-finally');
    end;
    Note('never');
  finally
    Note('outer-finally');
  end;
end;

procedure Replaced;
begin
  try
    raise Exception.Create('first');
  finally
    raise EConvertError.Create('second');
  end;
end;

function Parse(const s: string): Integer;
begin
  Result := StrToInt(s);
end;

begin
  log := '';
  try
    Layered;
  except
    on E: Exception do
      Note('caught ' + E.Message);
  end;
  ShowMessage(log);
  try
    Replaced;
  except
    on E: Exception do
      ShowMessage('the finally''s exception wins: ' + E.ClassName + ' ' + E.Message);
  end;
  log := '';
  try
    try
      raise Exception.Create('x');
    except
      try
        Note('handler');
      finally
        Note('handler-finally');
      end;
    end;
  finally
    Note('last');
  end;
  ShowMessage(log);
  ok := 0;
  failed := 0;
  for i := 1 to 6 do
    try
      ok := ok + Parse(Copy('1x2y3z', i, 1));
    except
      on E: EConvertError do
        Inc(failed);
    end;
  ShowMessage('sum ' + IntToStr(ok) + ', failed ' + IntToStr(failed));
  log := '';
  i := 0;
  while i < 3 do
  begin
    Inc(i);
    try
      try
        if i = 2 then
          raise Exception.Create('two');
        Note('body' + IntToStr(i));
      finally
        Note('f' + IntToStr(i));
      end;
    except
      on E: Exception do
        Note('caught ' + E.Message);
    end;
  end;
  ShowMessage(log);
end.
