// Editing texts with Delete and Insert, searching and replacing, and the number texts.
program TextEdit;

var
  s, t: string;
  i, p, n: Integer;

function ReplaceAll(const text, find, replace: string): string;
var
  rest: string;
  at: Integer;
begin
  Result := '';
  rest := text;
  at := Pos(find, rest);
  while at > 0 do
  begin
    Result := Result + Copy(rest, 1, at - 1) + replace;
    rest := Copy(rest, at + Length(find), Length(rest));
    at := Pos(find, rest);
  end;
  Result := Result + rest;
end;

function PadLeft(const text: string; width: Integer; fill: Char): string;
begin
  Result := text;
  while Length(Result) < width do
    Result := fill + Result;
end;

begin
  s := 'abcdefgh';
  Delete(s, 3, 2);
  ShowMessage('Delete 3,2: ' + s);
  Delete(s, 5, 100);
  ShowMessage('Delete 5,100: ' + s);
  Delete(s, 0, 1);
  Delete(s, 10, 1);
  Delete(s, 2, 0);
  ShowMessage('Delete outside: ' + s);
  Insert('XY', s, 3);
  ShowMessage('Insert 3: ' + s);
  Insert('<', s, 1);
  Insert('>', s, 100);
  ShowMessage('Insert ends: ' + s);
  t := '';
  Insert('abc', t, 1);
  ShowMessage('Insert into empty: ' + t);
  ShowMessage(ReplaceAll('the cat sat on the mat', 'at', 'og'));
  ShowMessage(ReplaceAll('aaaa', 'aa', 'b') + ' ' + ReplaceAll('abc', 'x', 'y') + ' [' + ReplaceAll('', 'a', 'b') + ']');
  s := 'key1=value1;key2=value2;key3=';
  while s <> '' do
  begin
    p := Pos(';', s);
    if p = 0 then
      p := Length(s) + 1;
    t := Copy(s, 1, p - 1);
    Delete(s, 1, p);
    n := Pos('=', t);
    ShowMessage('[' + Copy(t, 1, n - 1) + '] -> [' + Copy(t, n + 1, Length(t)) + ']');
  end;
  ShowMessage(IntToStr(-0) + ' ' + IntToStr(-2147483647 - 1) + ' ' + IntToStr(2147483647));
  ShowMessage(IntToStr(StrToInt('42') + StrToInt('-17') + StrToInt('  8')) + ' ' + IntToStr(StrToInt('$1F')));
  ShowMessage(IntToStr(StrToIntDef('12x', -1)) + ' ' + IntToStr(StrToIntDef('', 7)) + ' ' +
    IntToStr(StrToIntDef('- 1', 5)) + ' ' + IntToStr(StrToIntDef('-2147483648', 5)));
  for i := 1 to 3 do
    ShowMessage(PadLeft(IntToStr(i * i * i * 37), 6, '0'));
end.
