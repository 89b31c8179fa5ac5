var i, j, n: Integer; s: string; c: Char; f: Boolean;
begin
  for i := 1 to 20 do begin
    if i mod 2 = 0 then continue;
    for j := 10 downto i do
      if j = 7 then break else n := n + j;
  end;
  for c := 'z' downto 'w' do s := s + c;
  for f := False to True do if f then n := n + 1;
  while n > 0 do n := n div 2 - 1;
  repeat n := n + 3 until n >= 9;
  case n of
    0..5: s := 'low';
    9, 10: s := 'nine';
    'a': s := 'letter';
  else
    s := 'other';
  end;
  if (n > 3) and not (n = 4) or (n xor 1 = 8) then s := s + #13#10'yes''';
  Exit;
  ShowMessage(s);
end.
