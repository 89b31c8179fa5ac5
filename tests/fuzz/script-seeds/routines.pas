program Routines;
uses SysUtils;
const Limit = 10; Greeting: string = 'hi';
var total: Integer; text: string; flags: array[0..3] of Boolean;
procedure Swap(var a, b: Integer); var t: Integer; begin t := a; a := b; b := t end;
function Fib(n: Integer): Integer;
begin if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2) end;
function Twice(const s: string): string; begin Twice := s + s end;
function IsOdd(n: Integer): Boolean; forward;
function IsEven(n: Integer): Boolean; begin if n = 0 then Result := True else Result := IsOdd(n - 1) end;
function IsOdd(n: Integer): Boolean; begin if n = 0 then Result := False else Result := IsEven(n - 1) end;
var x, y: Integer;
begin
  x := 1; y := 2; Swap(x, y);
  total := Fib(Limit) + x * y;
  text := Twice(Greeting) + IntToStr(total);
  flags[1] := IsEven(4);
  ShowMessage(text);
end.
