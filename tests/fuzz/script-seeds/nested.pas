program Nested;
function Outer(depth: Integer; var log: string): Integer;
var mine: Integer;
  procedure Note(text: string);
    procedure Append; begin log := log + text + IntToStr(depth) + ' ' end;
  begin Append; mine := mine + depth end;
  function Deeper: Integer;
  begin
    if depth > 1 then Deeper := Outer(depth - 1, log) else Deeper := 0;
    Note('after');
    Outer := -1;
  end;
begin
  mine := 100;
  Note('before');
  Result := Deeper;
  Result := Result + mine;
end;
var log: string;
begin
  ShowMessage(IntToStr(Outer(4, log)) + log);
end.
