// Inc and Dec of a character variable step to the next and previous character.
program IncText;

var
  c: Char;

begin
  c := 'a';
  Inc(c);
  ShowMessage(c);
  Inc(c, 2);
  Dec(c);
  ShowMessage(c);
end.
