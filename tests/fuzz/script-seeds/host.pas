var s: string; v, w: Variant; k: Integer;
begin
  s := 'a';
  k := Append(s, [1, 'b', 2.5]);
  v := Obj;
  w := v.Next + Obj.Next() + Obj.Add(1.5);
  if v <> nil then ShowMessage(pName + pArgs(1, 2));
  if 3 in [mbYes, 1..4] then s := s + 'in';
  v := [1, 'x', True];
  if 'x' in v then s := s + v[1];
  s[1] := 'z';
  ShowMessage(s + IntToStr(Length(v)));
end.
