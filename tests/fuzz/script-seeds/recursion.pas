procedure P(n: Integer);
begin
  try P(n + 1) finally P(n + 2) end
end;
begin P(0) end.
