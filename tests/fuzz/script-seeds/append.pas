function Build(n: Integer): string;
var i: Integer;
begin
  Result := '';
  for i := 1 to n do
    Result := Result + 'line ' + IntToStr(i) + #13#10;
end;
var s: string; v: Variant;
begin
  s := Build(50);
  s := s + s + s;
  v := 1; v := v + 2 + 'x' + 3;
  ShowMessage(IntToStr(Length(s)) + v);
end.
