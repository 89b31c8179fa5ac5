// Bitwise and, or, xor, not and shifts on non-negative 32-bit values; Boolean operators on truth values.
program Bits;

var
  x, y, i, mask, count: Integer;
  p, q: Boolean;

function B(value: Boolean): string;
begin
  if value then
    Result := 'T'
  else
    Result := 'F';
end;

function Binary(value, digits: Integer): string;
var
  k: Integer;
begin
  Result := '';
  for k := digits - 1 downto 0 do
    if (value shr k) and 1 = 1 then
      Result := Result + '1'
    else
      Result := Result + '0';
end;

begin
  x := $5A;
  y := $0F;
  ShowMessage('and ' + Binary(x and y, 8) + ' or ' + Binary(x or y, 8) + ' xor ' + Binary(x xor y, 8));
  ShowMessage('not 5 = ' + IntToStr(not 5) + ', not -1 = ' + IntToStr(not -1));
  ShowMessage('1 shl 10 = ' + IntToStr(1 shl 10) + ', 1024 shr 3 = ' + IntToStr(1024 shr 3));
  x := 1;
  x := x shl 31;
  ShowMessage('1 shl 31 stored = ' + IntToStr(x));
  x := $12345678;
  ShowMessage('bytes ' + IntToStr((x shr 24) and $FF) + ' ' + IntToStr((x shr 16) and $FF) + ' ' +
    IntToStr((x shr 8) and $FF) + ' ' + IntToStr(x and $FF));
  count := 0;
  mask := 1;
  for i := 0 to 30 do
  begin
    if x and mask <> 0 then
      Inc(count);
    mask := mask shl 1;
  end;
  ShowMessage('bits set in $12345678: ' + IntToStr(count));
  x := 0;
  for i := 0 to 7 do
    x := x or (1 shl (i * 2));
  ShowMessage('every other bit: ' + Binary(x, 16) + ' = ' + IntToStr(x));
  x := x xor $FFFF;
  ShowMessage('flipped: ' + Binary(x, 16));
  for i := 0 to 3 do
  begin
    p := i and 1 = 1;
    q := i and 2 = 2;
    ShowMessage(B(p) + B(q) + ': and ' + B(p and q) + ' or ' + B(p or q) + ' xor ' + B(p xor q) + ' not ' +
      B(not p) + ' = ' + B(p = q) + ' < ' + B(p < q));
  end;
end.
