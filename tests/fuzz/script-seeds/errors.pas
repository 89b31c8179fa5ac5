begin
  ShowMessage(Missing(1, 2));
  Print('unterminated)
end.
