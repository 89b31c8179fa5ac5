// Membership: in with constructors of values and ranges of numbers and characters, with variables as bounds,
// and in a set held in a variable.
program Sets;

var
  i, lo, hi, count: Integer;
  c: Char;
  digits: set of Byte;
  line, s: string;

function B(value: Boolean): string;
begin
  if value then
    Result := 'T'
  else
    Result := 'F';
end;

begin
  line := '';
  for i := 0 to 12 do
    line := line + B(i in [1, 3, 5..8, 11]);
  ShowMessage('constant set: ' + line);
  lo := 4;
  hi := 9;
  line := '';
  for i := 0 to 12 do
    line := line + B(i in [lo..hi, hi + 2]);
  ShowMessage('variable bounds: ' + line);
  digits := [2, 3, 5, 7];
  count := 0;
  for i := 0 to 9 do
    if i in digits then
      Inc(count);
  ShowMessage('primes below 10: ' + IntToStr(count));
  digits := [];
  line := '';
  for i := 0 to 3 do
    line := line + B(i in digits);
  ShowMessage('empty set: ' + line);
  s := 'Hello, World 42!';
  line := '';
  for i := 1 to Length(s) do
  begin
    c := s[i];
    if c in ['A'..'Z'] then
      line := line + 'U'
    else if c in ['a'..'z'] then
      line := line + 'l'
    else if c in ['0'..'9'] then
      line := line + 'd'
    else if c in [' ', ',', '!'] then
      line := line + '_'
    else
      line := line + '?';
  end;
  ShowMessage('character classes: ' + line);
  if not (5 in [1..4]) and (4 in [1..4]) then
    ShowMessage('ranges include their ends');
  if 'q' in ['a'..'z'] then
    ShowMessage('q is a letter');
end.
