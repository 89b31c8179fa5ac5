// Recursion: direct, mutual through forward declarations, deep enough to matter, with texts built on the way.
program Recursion;

var
  moves: Integer;
  path: string;

function Factorial(n: Integer): Integer;
begin
  if n <= 1 then
    Result := 1
  else
    Result := n * Factorial(n - 1);
end;

function Fib(n: Integer): Integer;
begin
  if n < 2 then
    Result := n
  else
    Result := Fib(n - 1) + Fib(n - 2);
end;

function Ackermann(m, n: Integer): Integer;
begin
  if m = 0 then
    Result := n + 1
  else if n = 0 then
    Result := Ackermann(m - 1, 1)
  else
    Result := Ackermann(m - 1, Ackermann(m, n - 1));
end;

function IsOdd(n: Integer): Boolean; forward;

function IsEven(n: Integer): Boolean;
begin
  if n = 0 then
    Result := True
  else
    Result := IsOdd(n - 1);
end;

function IsOdd(n: Integer): Boolean;
begin
  if n = 0 then
    Result := False
  else
    Result := IsEven(n - 1);
end;

procedure Hanoi(n: Integer; from, via, onto: string);
begin
  if n = 0 then
    Exit;
  Hanoi(n - 1, from, onto, via);
  Inc(moves);
  if n = 3 then
    path := path + from + onto + ' ';
  Hanoi(n - 1, via, from, onto);
end;

function Depth(n: Integer): Integer;
begin
  if n = 0 then
    Result := 0
  else
    Result := 1 + Depth(n - 1);
end;

function Reverse(const s: string): string;
begin
  if Length(s) <= 1 then
    Result := s
  else
    Result := Reverse(Copy(s, 2, Length(s) - 1)) + s[1];
end;

function Power(base, exponent: Integer): Integer;
var
  half: Integer;
begin
  if exponent = 0 then
    Exit(1);
  half := Power(base, exponent div 2);
  Result := half * half;
  if exponent mod 2 = 1 then
    Result := Result * base;
end;

begin
  ShowMessage('10! = ' + IntToStr(Factorial(10)) + ', 12! = ' + IntToStr(Factorial(12)));
  ShowMessage('fib(20) = ' + IntToStr(Fib(20)));
  ShowMessage('ackermann(2, 3) = ' + IntToStr(Ackermann(2, 3)) + ', (3, 3) = ' + IntToStr(Ackermann(3, 3)));
  if IsEven(100) and IsOdd(37) and not IsEven(7) then
    ShowMessage('mutual recursion agrees');
  moves := 0;
  path := '';
  Hanoi(6, 'A', 'B', 'C');
  ShowMessage('hanoi(6): ' + IntToStr(moves) + ' moves; the 3-disc moves: ' + path);
  ShowMessage('depth ' + IntToStr(Depth(500)));
  ShowMessage(Reverse('recursion'));
  ShowMessage('3^13 = ' + IntToStr(Power(3, 13)) + ', 2^30 = ' + IntToStr(Power(2, 30)));
end.
