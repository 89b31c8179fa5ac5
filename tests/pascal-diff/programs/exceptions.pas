// Raising and handling: the handler chosen by class in written order, else, E.Message and E.ClassName,
// exceptions crossing routines, a bare raise to the next handler, and handlers that raise anew.
program Exceptions;

var
  i: Integer;
  log: string;

procedure Fail(kind: Integer);
begin
  case kind of
    1: raise Exception.Create('plain');
    2: raise EConvertError.Create('bad number');
    3: raise EZeroDivide.Create('nothing to share');
    4: raise EInvalidCast.Create('wrong kind');
  end;
end;

procedure Classify(kind: Integer);
begin
  try
    Fail(kind);
    ShowMessage(IntToStr(kind) + ': nothing raised');
  except
    on E: EConvertError do
      ShowMessage(IntToStr(kind) + ': conversion ' + E.Message);
    on E: EZeroDivide do
      ShowMessage(IntToStr(kind) + ': ' + E.ClassName + ' ' + E.Message);
    on E: Exception do
      ShowMessage(IntToStr(kind) + ': any ' + E.ClassName + ' ' + E.Message);
  end;
end;

procedure WithElse(kind: Integer);
begin
  try
    Fail(kind);
  except
    on E: EConvertError do
      ShowMessage('handled conversion');
  else
    ShowMessage('else took ' + IntToStr(kind));
  end;
end;

function Depth(n: Integer): Integer;
begin
  if n = 0 then
    raise Exception.Create('bottom reached');
  try
    Result := Depth(n - 1);
  finally
    log := log + IntToStr(n);
  end;
end;

procedure Rethrow;
begin
  try
    Fail(2);
  except
    on E: Exception do
    begin
      log := log + 'first sees ' + E.Message + '; ';
      raise;
    end;
  end;
end;

procedure Translate;
begin
  try
    Fail(3);
  except
    on E: EZeroDivide do
      raise EConvertError.Create('translated: ' + E.Message);
  end;
end;

begin
  for i := 0 to 4 do
    Classify(i);
  WithElse(2);
  WithElse(4);
  log := '';
  try
    Depth(4);
  except
    on E: Exception do
      ShowMessage(E.Message + ' after unwinding ' + log);
  end;
  log := '';
  try
    Rethrow;
  except
    on E: EConvertError do
      ShowMessage(log + 'then the caller: ' + E.ClassName);
  end;
  try
    Translate;
  except
    on E: Exception do
      ShowMessage(E.ClassName + ': ' + E.Message);
  end;
  try
    try
      raise Exception.Create('inner');
    except
      ShowMessage('plain except catches everything');
    end;
    ShowMessage('and the run goes on');
  except
    ShowMessage('never');
  end;
  try
    ShowMessage('no exception');
  except
    ShowMessage('never');
  end;
end.
