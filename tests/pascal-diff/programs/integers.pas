// Integer arithmetic: precedence, signs of div and mod, wrapping at 32 bits once a result is stored.
program Integers;

var
  a, b, i, n: Integer;

procedure Show(const what: string; value: Integer);
begin
  ShowMessage(what + ' = ' + IntToStr(value));
end;

begin
  Show('2 + 3 * 4', 2 + 3 * 4);
  Show('(2 + 3) * 4', (2 + 3) * 4);
  Show('20 - 6 - 4', 20 - 6 - 4);
  Show('100 div 7 div 2', 100 div 7 div 2);
  Show('-2 * -3', -2 * -3);
  Show('- (5 - 8)', -(5 - 8));
  Show('$FF + $10', $FF + $10);
  Show('$7FFFFFFF', $7FFFFFFF);
  for a := -7 to 7 do
    if a mod 3 = 0 then
      for b := -3 to 3 do
        if b <> 0 then
          ShowMessage(IntToStr(a) + ' div ' + IntToStr(b) + ' = ' + IntToStr(a div b) + ', mod = ' +
            IntToStr(a mod b));
  // Stored results wrap; the program never prints an overflowing expression before it is stored.
  n := 2147483647;
  n := n + 1;
  Show('MaxInt + 1', n);
  n := n - 1;
  Show('MinInt - 1', n);
  n := 1;
  for i := 1 to 40 do
    n := n * 3;
  Show('3^40 in 32 bits', n);
  n := 123456789;
  n := n * 1000;
  Show('123456789 * 1000', n);
  n := -2147483647 - 1;
  n := n div -1;
  Show('MinInt div -1', n);
  a := 17;
  b := 5;
  Show('a*b - a div b + a mod b', a * b - a div b + a mod b);
  Show('-a div b', -a div b);
  Show('a mod -b', a mod -b);
end.
