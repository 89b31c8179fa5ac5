// A for loop counts over characters and Booleans as over integers.
program CharLoop;

var
  c: Char;
  b: Boolean;
  s: string;

begin
  s := '';
  for c := 'a' to 'e' do
    s := s + c;
  for b := False to True do
    if b then
      s := s + 'T'
    else
      s := s + 'F';
  ShowMessage(s);
end.
