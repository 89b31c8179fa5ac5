// Number theory: a sieve of Eratosthenes, trial division into prime factors, greatest common divisors,
// perfect numbers and an integer square root by Newton's method.
program Primes;

var
  composite: array[0..2000] of Boolean;
  i, j, count, last: Integer;
  line: string;

function Gcd(a, b: Integer): Integer;
var
  t: Integer;
begin
  while b <> 0 do
  begin
    t := a mod b;
    a := b;
    b := t;
  end;
  Result := a;
end;

function Factors(n: Integer): string;
var
  d: Integer;
begin
  Result := '';
  d := 2;
  while d * d <= n do
  begin
    while n mod d = 0 do
    begin
      if Result <> '' then
        Result := Result + '*';
      Result := Result + IntToStr(d);
      n := n div d;
    end;
    Inc(d);
  end;
  if n > 1 then
  begin
    if Result <> '' then
      Result := Result + '*';
    Result := Result + IntToStr(n);
  end;
end;

function DivisorSum(n: Integer): Integer;
var
  d: Integer;
begin
  Result := 1;
  d := 2;
  while d * d <= n do
  begin
    if n mod d = 0 then
    begin
      Result := Result + d;
      if d * d <> n then
        Result := Result + n div d;
    end;
    Inc(d);
  end;
end;

function ISqrt(n: Integer): Integer;
var
  x, y: Integer;
begin
  if n < 2 then
    Exit(n);
  x := n;
  y := (x + 1) div 2;
  while y < x do
  begin
    x := y;
    y := (x + n div x) div 2;
  end;
  Result := x;
end;

begin
  for i := 2 to 2000 do
    if not composite[i] then
    begin
      j := i * i;
      while j <= 2000 do
      begin
        composite[j] := True;
        j := j + i;
      end;
    end;
  count := 0;
  line := '';
  for i := 2 to 2000 do
    if not composite[i] then
    begin
      Inc(count);
      last := i;
      if count <= 15 then
        line := line + IntToStr(i) + ' ';
    end;
  ShowMessage(IntToStr(count) + ' primes up to 2000, the last ' + IntToStr(last) + ': ' + line);
  ShowMessage('360 = ' + Factors(360) + ', 9973 = ' + Factors(9973) + ', 2147483646 = ' + Factors(2147483646));
  ShowMessage('gcd ' + IntToStr(Gcd(1071, 462)) + ' ' + IntToStr(Gcd(17, 5)) + ' ' + IntToStr(Gcd(0, 9)) + ', lcm ' +
    IntToStr(12 div Gcd(12, 18) * 18));
  line := '';
  for i := 2 to 10000 do
    if DivisorSum(i) = i then
      line := line + IntToStr(i) + ' ';
  ShowMessage('perfect: ' + line);
  ShowMessage('isqrt ' + IntToStr(ISqrt(0)) + ' ' + IntToStr(ISqrt(15)) + ' ' + IntToStr(ISqrt(16)) + ' ' +
    IntToStr(ISqrt(1000000)) + ' ' + IntToStr(ISqrt(2147395600)));
end.
