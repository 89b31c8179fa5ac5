var a: Integer; d: Double; c: Currency; b: Boolean; s: string; v: Variant;
begin
  a := 2147483647 + 1;
  a := -2147483648 div -1;
  a := (a shl 3) shr 2 and $FFFF or 7 xor 3;
  d := 7 / 2 * 1.5e3 - 0.25;
  c := 1.25; c := c + 2; c := c * 3; c := 922337203685477; c := -c - 0.5;
  d := 0; d := -d * 1; try d := d / d except d := 1 end;
  b := (1 < 2) and (2.0 >= 2) and ('a' < 'b') and not False;
  s := 'x' + 1 + 2.5 + True;
  v := d - a;
  v := -v; v := not 5; v := 10 mod 3;
  if s <> '' then ShowMessage(s);
end.
