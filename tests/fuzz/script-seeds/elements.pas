program Elements;
var a, b: array[0..2] of Integer; freq: array[1..5] of Integer; s: string; calls, n, i: Integer; v: Variant;
procedure Swap(var x, y: Integer); var t: Integer; begin t := x; x := y; y := t end;
procedure Bump(var x: Integer; d: Integer); begin x := x + d end;
procedure Upper(var c: Char); begin c := 'Z'; s := '' end;
procedure Replace(var x: Integer); begin a := b; x := 9; v := 0 end;
function Next: Integer; begin Inc(calls); Result := calls end;
begin
  a[0] := 1; a[1] := 2; a[2] := 3; v := [1, 2, 3];
  Swap(a[0], a[2]); Bump(a[Next], 5); Append(s, [a[1]]); Bump(v[1], 4); Replace(v[0]);
  Inc(freq[Next]); Inc(freq[Next], 3); Dec(freq[1]);
  s := 'abc'; Upper(s[2]);
  s := 'banana'; n := 0;
  for i := 1 to Length(s) do n := n + Ord(s[i] = 'a');
  n := n + Integer(True) + Integer(v) + Ord(Succ(False)) + Byte(300);
  try n := Ord(Succ(True)) except on E: EIntError do raise E end;
  ShowMessage(IntToStr(n) + s);
end.
