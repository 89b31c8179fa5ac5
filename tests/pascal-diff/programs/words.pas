// Text algorithms: splitting into words, counting letters in an array indexed by them, palindromes,
// run-length coding, Caesar shifting and numbers written in other bases.
program Words;

var
  counts: array['a'..'z'] of Integer;
  i, k, n: Integer;
  s, word, line: string;
  c: Char;

function IsPalindrome(const text: string): Boolean;
var
  l, r: Integer;
  clean: string;
begin
  clean := '';
  for l := 1 to Length(text) do
    if text[l] in ['a'..'z', 'A'..'Z'] then
      clean := clean + LowerCase(text[l]);
  Result := True;
  l := 1;
  r := Length(clean);
  while l < r do
  begin
    if clean[l] <> clean[r] then
    begin
      Result := False;
      Exit;
    end;
    Inc(l);
    Dec(r);
  end;
end;

function RunLength(const text: string): string;
var
  p, run: Integer;
begin
  Result := '';
  p := 1;
  while p <= Length(text) do
  begin
    run := 1;
    while (p + run <= Length(text)) and (text[p + run] = text[p]) do
      Inc(run);
    if run > 1 then
      Result := Result + IntToStr(run);
    Result := Result + text[p];
    p := p + run;
  end;
end;

function Caesar(const text: string; shift: Integer): string;
var
  p: Integer;
begin
  Result := text;
  for p := 1 to Length(text) do
    if text[p] in ['a'..'z'] then
      Result[p] := Chr(Ord('a') + (Ord(text[p]) - Ord('a') + shift + 26) mod 26)
    else if text[p] in ['A'..'Z'] then
      Result[p] := Chr(Ord('A') + (Ord(text[p]) - Ord('A') + shift + 26) mod 26);
end;

function InBase(value, base: Integer): string;
const
  Digits = '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ';
begin
  if value = 0 then
    Exit('0');
  Result := '';
  while value > 0 do
  begin
    Result := Digits[value mod base + 1] + Result;
    value := value div base;
  end;
end;

begin
  s := 'The quick brown fox jumps over the lazy dog, then the fox sleeps.';
  n := 0;
  word := '';
  line := '';
  for i := 1 to Length(s) + 1 do
  begin
    if i <= Length(s) then
      c := s[i]
    else
      c := ' ';
    if c in ['a'..'z', 'A'..'Z'] then
      word := word + c
    else if word <> '' then
    begin
      Inc(n);
      if Length(word) > 4 then
        line := line + word + ' ';
      word := '';
    end;
  end;
  ShowMessage(IntToStr(n) + ' words, long ones: ' + line);
  word := LowerCase(s);
  for i := 1 to Length(word) do
  begin
    c := word[i];
    if c in ['a'..'z'] then
      Inc(counts[c]);
  end;
  line := '';
  for k := Ord('a') to Ord('z') do
    if counts[Chr(k)] >= 4 then
      line := line + Chr(k) + IntToStr(counts[Chr(k)]) + ' ';
  ShowMessage('frequent letters: ' + line);
  if IsPalindrome('A man, a plan, a canal: Panama') and not IsPalindrome('Pascal') then
    ShowMessage('palindromes recognised');
  ShowMessage(RunLength('aaabccddddde') + ' ' + RunLength('') + ' ' + RunLength('xyz'));
  ShowMessage(Caesar('Hello, World', 3) + ' / ' + Caesar(Caesar('Hello, World', 3), -3) + ' / ' +
    Caesar('abcxyz', 13));
  ShowMessage(InBase(255, 2) + ' ' + InBase(255, 16) + ' ' + InBase(2147483647, 36) + ' ' + InBase(0, 8));
end.
