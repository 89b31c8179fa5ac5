// if and case: else binding, case lists and ranges of numbers and characters, and short-circuit Boolean logic.
program Branches;

var
  i, calls: Integer;
  c: Char;
  s: string;

function Kind(n: Integer): string;
begin
  case n of
    0: Result := 'zero';
    1, 3, 5, 7, 9: Result := 'odd digit';
    2, 4, 6, 8: Result := 'even digit';
    10..99: Result := 'two digits';
    -9..-1: Result := 'negative digit';
  else
    Result := 'other';
  end;
end;

function CharKind(ch: Char): string;
begin
  case ch of
    'a', 'e', 'i', 'o', 'u': Result := 'vowel';
    'b'..'d', 'f'..'h', 'j'..'n', 'p'..'t', 'v'..'z': Result := 'consonant';
    '0'..'9': Result := 'digit';
    ' ': Result := 'blank';
  else
    Result := 'mark';
  end;
end;

function Touch(value: Boolean): Boolean;
begin
  Inc(calls);
  Result := value;
end;

function Grade(points: Integer): string;
begin
  if points >= 90 then
    Result := 'A'
  else if points >= 75 then
    Result := 'B'
  else if points >= 50 then
    Result := 'C'
  else
    Result := 'F';
end;

begin
  for i := -3 to 12 do
    ShowMessage(IntToStr(i) + ' ' + Kind(i));
  ShowMessage(Kind(100) + ' ' + Kind(-10) + ' ' + Kind(99));
  s := 'Pascal 7!';
  for i := 1 to Length(s) do
  begin
    c := s[i];
    ShowMessage(c + ' ' + CharKind(c));
  end;
  for i := 0 to 1 do
    if i = 0 then
      if False then
        ShowMessage('never')
      else
        ShowMessage('the else belongs to the inner if');
  calls := 0;
  if Touch(False) and Touch(True) then
    ShowMessage('wrong');
  if Touch(True) or Touch(False) then
    ShowMessage('or decided by its left side');
  if not (Touch(True) and Touch(False)) then
    ShowMessage('and needs both sides here');
  ShowMessage('calls: ' + IntToStr(calls));
  ShowMessage(Grade(95) + Grade(90) + Grade(89) + Grade(75) + Grade(60) + Grade(49) + Grade(-1));
  i := 7;
  if (i > 5) and (i < 10) or (i = 0) then
    ShowMessage('precedence of and over or');
  if not (i = 7) then
    ShowMessage('wrong')
  else
    ShowMessage('not binds tighter than =, so it needs the parentheses');
end.
