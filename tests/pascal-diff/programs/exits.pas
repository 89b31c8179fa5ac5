// Leaving routines: Exit and Exit(value) from loops, Result against the function's own name, and a finally
// that still runs when Exit, break or continue leave its block.
program Exits;

var
  log: string;
  i: Integer;

function FirstMultiple(step, limit: Integer): Integer;
var
  k: Integer;
begin
  Result := -1;
  for k := 1 to limit do
    if k mod step = 0 then
      Exit(k);
end;

function ByName(n: Integer): Integer;
begin
  ByName := n * 2;
  if n > 5 then
    Exit;
  ByName := n * 2 + 1;
end;

function ResultReadBack(n: Integer): Integer;
begin
  Result := n;
  Result := Result * Result;
  Result := Result - 1;
end;

procedure Early(n: Integer);
begin
  log := log + '<';
  if n = 0 then
    Exit;
  log := log + IntToStr(n);
  log := log + '>';
end;

function Guarded(n: Integer): string;
begin
  Result := 'start';
  try
    if n = 1 then
      Exit('early');
    Result := 'late';
  finally
    log := log + '[finally ' + IntToStr(n) + ']';
  end;
  Result := Result + '!';
end;

function Nested(n: Integer): Integer;
begin
  Result := 0;
  try
    try
      Result := 1;
      if n > 0 then
        Exit;
      Result := 2;
    finally
      log := log + '(inner)';
    end;
  finally
    log := log + '(outer)';
  end;
end;

begin
  ShowMessage(IntToStr(FirstMultiple(7, 100)) + ' ' + IntToStr(FirstMultiple(7, 6)));
  ShowMessage(IntToStr(ByName(3)) + ' ' + IntToStr(ByName(9)) + ' ' + IntToStr(ResultReadBack(5)));
  log := '';
  Early(0);
  Early(4);
  ShowMessage(log);
  log := '';
  ShowMessage(Guarded(1));
  ShowMessage(Guarded(2));
  ShowMessage(IntToStr(Nested(1)));
  ShowMessage(IntToStr(Nested(0)));
  ShowMessage(log);
  log := '';
  for i := 1 to 4 do
    try
      if i = 2 then
        continue;
      if i = 3 then
        break;
      log := log + IntToStr(i);
    finally
      log := log + 'f';
    end;
  ShowMessage(log);
end.
