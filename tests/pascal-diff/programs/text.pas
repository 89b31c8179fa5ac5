// Texts: joining, length, characters by index, comparison, Copy, Pos and the case and trim functions.
program Text;

var
  s, t: string;
  i: Integer;
  c: Char;

function B(value: Boolean): string;
begin
  if value then
    Result := 'T'
  else
    Result := 'F';
end;

begin
  s := 'Hello';
  t := s + ', ' + 'World' + '!';
  ShowMessage(t + ' has ' + IntToStr(Length(t)) + ' characters');
  ShowMessage('first ' + t[1] + ', last ' + t[Length(t)] + ', code of the comma ' + IntToStr(Ord(t[6])));
  s := '';
  for i := Length(t) downto 1 do
    s := s + t[i];
  ShowMessage('reversed: ' + s);
  t[1] := 'J';
  t[Length(t)] := '?';
  ShowMessage('changed: ' + t);
  ShowMessage('quotes: ' + 'it''s' + ' ' + '''' + ' ' + IntToStr(Length('''')));
  ShowMessage('codes:' + #65#66 + 'C'#68 + ' tab[' + #9 + ']');
  ShowMessage('Copy: [' + Copy('abcdef', 2, 3) + '] [' + Copy('abcdef', 0, 2) + '] [' + Copy('abcdef', 5, 10) +
    '] [' + Copy('abcdef', 7, 1) + '] [' + Copy('abcdef', 3, 0) + '] [' + Copy('abcdef', 3, -1) + ']');
  ShowMessage('Pos: ' + IntToStr(Pos('lo', 'hello lo')) + ' ' + IntToStr(Pos('x', 'hello')) + ' ' +
    IntToStr(Pos('', 'hello')) + ' ' + IntToStr(Pos('hello!', 'hello')));
  ShowMessage('compare: ' + B('abc' < 'abd') + B('abc' < 'ab') + B('' < 'a') + B('B' < 'a') + B('abc' = 'abc') +
    B('abc' <> 'ABC') + B('b' >= 'abc'));
  ShowMessage('case: ' + UpperCase('MiXeD 123 text') + ' ' + LowerCase('MiXeD 123 TEXT'));
  ShowMessage('trim: [' + Trim('  both  ') + '] [' + TrimLeft('  left  ') + '] [' + TrimRight('  right  ') + '] [' +
    Trim(#9#10' ctrl '#13) + ']');
  ShowMessage('CompareText: ' + IntToStr(CompareText('abc', 'ABC')) + ' ' + IntToStr(CompareStr('abc', 'abd')) +
    ' ' + IntToStr(CompareStr('b', 'a')));
  c := 'x';
  s := c + c;
  s := s + c;
  ShowMessage(s + ' ' + IntToStr(Length(s)) + ' ' + Chr(Ord(c) + 1) + Chr(48 + 7));
  s := 'a';
  for i := 1 to 6 do
    s := s + s;
  ShowMessage('doubled six times: ' + IntToStr(Length(s)));
  s := 'one two  three';
  t := '';
  for i := 1 to Length(s) do
    if s[i] = ' ' then
      t := t + '_'
    else
      t := t + s[i];
  ShowMessage(t);
  ShowMessage(QuotedStr('it''s', '''') + ' ' + QuotedStr('say "hi"', '"'));
end.
