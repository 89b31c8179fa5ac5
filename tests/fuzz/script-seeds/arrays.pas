program Arrays;
const Days: array[1..3] of Integer = (31, 28, 31);
var months: array[1..12] of Currency; t: array[-5..5] of Integer; grid: array[1..2, 0..1] of string;
    letters: array['a'..'c'] of Integer; flags: array[Boolean] of Integer; v: Variant; i, k: Integer;
function Sum(a: array of Integer): Integer;
var i: Integer;
begin Result := 0; for i := Low(a) to High(a) do Result := Result + a[i] end;
begin
  months[12] := 1.25; t[-5] := 7; t[5] := t[-5] * 2; grid[2, 1] := 'x'; grid[1][0] := grid[2, 1] + 'y';
  Inc(letters['b']); Inc(flags[1 < 2]);
  k := Sum(Days) + Low(t) + High(t) + Length(months) + Low(Integer) + High(Byte);
  v := [10, 20]; k := k + v[High(v)] + Ord(High(Char));
  grid[1] := grid[2];
  for i := 0 to 13 do
    try months[i] := i except on E: ERangeError do k := k + 1 end;
  ShowMessage(IntToStr(k) + grid[1, 1] + Low(letters));
end.
