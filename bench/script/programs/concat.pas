// A text of 1 000 000 lines built by concatenation inside a function.
function Build(n: Integer): string;
var
  i: Integer;
begin
  Result := '';
  for i := 1 to n do
    Result := Result + 'line ' + IntToStr(i) + #13#10;
end;

begin
  ShowMessage(IntToStr(Length(Build(1000000))));
end.
