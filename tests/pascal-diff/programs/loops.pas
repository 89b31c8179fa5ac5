// for, while and repeat loops: empty and single ranges, downto, bounds read once, break and continue, nesting.
program Loops;

var
  i, j, n, total: Integer;
  line: string;

begin
  line := '';
  for i := 1 to 5 do
    line := line + IntToStr(i);
  for i := 5 downto 1 do
    line := line + IntToStr(i);
  ShowMessage('to and downto: ' + line);
  n := 0;
  for i := 3 to 2 do
    Inc(n);
  for i := 2 downto 3 do
    Inc(n);
  for i := 4 to 4 do
    Inc(n, 10);
  ShowMessage('empty and single ranges: ' + IntToStr(n));
  n := 3;
  total := 0;
  for i := 1 to n do
  begin
    n := n + 1;
    total := total + i;
  end;
  ShowMessage('bound read once: ' + IntToStr(total) + ' ' + IntToStr(n));
  for i := -2147483647 - 1 to -2147483647 - 1 + 2 do
    ShowMessage('near MinInt: ' + IntToStr(i));
  line := '';
  for i := 1 to 20 do
  begin
    if i mod 3 = 0 then
      continue;
    if i > 14 then
      break;
    line := line + IntToStr(i) + ' ';
  end;
  ShowMessage('for with continue and break: ' + line);
  i := 0;
  line := '';
  while True do
  begin
    Inc(i);
    if i mod 2 = 0 then
      continue;
    if i > 9 then
      break;
    line := line + IntToStr(i);
  end;
  ShowMessage('while: ' + line + ' stopped at ' + IntToStr(i));
  i := 10;
  repeat
    Dec(i, 3);
  until i < 0;
  ShowMessage('repeat: ' + IntToStr(i));
  i := 100;
  repeat
    i := i + 1;
  until True;
  ShowMessage('repeat runs once: ' + IntToStr(i));
  n := 0;
  repeat
    Inc(n);
    if n = 2 then
      continue;
    if n = 5 then
      break;
  until n > 10;
  ShowMessage('repeat with break: ' + IntToStr(n));
  total := 0;
  for i := 1 to 10 do
    for j := 1 to 10 do
    begin
      if j > i then
        break;
      if (i + j) mod 2 = 1 then
        continue;
      total := total + i * j;
    end;
  ShowMessage('nested break only leaves the inner loop: ' + IntToStr(total));
  n := 27;
  i := 0;
  while n <> 1 do
  begin
    if n mod 2 = 0 then
      n := n div 2
    else
      n := 3 * n + 1;
    Inc(i);
  end;
  ShowMessage('Collatz steps of 27: ' + IntToStr(i));
end.
