// Recursive Fibonacci of 30: script routine calls and integer arithmetic.
function Fib(n: Integer): Integer;
begin
  if n < 2 then
    Result := n
  else
    Result := Fib(n - 1) + Fib(n - 2);
end;

begin
  ShowMessage(IntToStr(Fib(30)));
end.
