// A recursive-descent evaluator for integer expressions with + - * / ( ) and unary minus, reporting a
// syntax fault by position through an exception.
program Calculator;

var
  source: string;
  at: Integer;

function Expression: Integer; forward;

function Current: Char;
begin
  if at <= Length(source) then
    Result := source[at]
  else
    Result := #0;
end;

procedure SkipBlanks;
begin
  while Current = ' ' do
    Inc(at);
end;

function Factor: Integer;
begin
  SkipBlanks;
  if Current = '(' then
  begin
    Inc(at);
    Result := Expression;
    SkipBlanks;
    if Current <> ')' then
      raise EConvertError.Create(') expected at ' + IntToStr(at));
    Inc(at);
  end
  else if Current = '-' then
  begin
    Inc(at);
    Result := -Factor;
  end
  else if Current in ['0'..'9'] then
  begin
    Result := 0;
    while Current in ['0'..'9'] do
    begin
      Result := Result * 10 + Ord(Current) - Ord('0');
      Inc(at);
    end;
  end
  else
    raise EConvertError.Create('number expected at ' + IntToStr(at));
end;

function Term: Integer;
var
  op: Char;
begin
  Result := Factor;
  SkipBlanks;
  while Current in ['*', '/'] do
  begin
    op := Current;
    Inc(at);
    if op = '*' then
      Result := Result * Factor
    else
      Result := Result div Factor;
    SkipBlanks;
  end;
end;

function Expression: Integer;
var
  op: Char;
begin
  Result := Term;
  SkipBlanks;
  while Current in ['+', '-'] do
  begin
    op := Current;
    Inc(at);
    if op = '+' then
      Result := Result + Term
    else
      Result := Result - Term;
    SkipBlanks;
  end;
end;

procedure Evaluate(const text: string);
var
  value: Integer;
begin
  source := text;
  at := 1;
  try
    value := Expression;
    SkipBlanks;
    if at <= Length(source) then
      raise EConvertError.Create('end expected at ' + IntToStr(at));
    ShowMessage(text + ' = ' + IntToStr(value));
  except
    on E: EConvertError do
      ShowMessage(text + ': ' + E.Message);
    on E: Exception do
      ShowMessage(text + ': failed');
  end;
end;

begin
  Evaluate('1 + 2 * 3');
  Evaluate('(1 + 2) * 3');
  Evaluate('100 / 7 / 2');
  Evaluate('-(4 - 10) * -2');
  Evaluate('2 * (3 + (4 - 1) * 5) - 60 / (1 + 2)');
  Evaluate('12 - 3 - 4 - 5');
  Evaluate('7 / (3 - 3)');
  Evaluate('(1 + 2');
  Evaluate('1 + * 2');
  Evaluate('42 43');
end.
