// Ten million iterations of an integer loop with mod and if.
function CountMultiples(n: Integer): Integer;
var
  i: Integer;
begin
  Result := 0;
  for i := 1 to n do
    if i mod 3 = 0 then
      Result := Result + 1;
end;

begin
  ShowMessage(IntToStr(CountMultiples(10000000)));
end.
