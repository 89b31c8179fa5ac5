// A for loop counts over characters and Booleans as over integers.
program CharLoop;

var
  c: Char;
  b: Boolean;
  s: string;
  n: Integer;

begin
  s := '';
  for c := 'a' to 'e' do
    s := s + c;
  for c := 'Z' downto 'X' do
    s := s + c;
  for b := False to True do
    if b then
      s := s + 'T'
    else
      s := s + 'F';
  for b := True downto True do
    s := s + '!';
  ShowMessage(s);
  n := 0;
  for c := Low(Char) to High(Char) do
    if c in ['0'..'9'] then
      n := n + 1;
  for c := 'b' to 'a' do
    n := n + 100;
  ShowMessage(IntToStr(n));
end.
