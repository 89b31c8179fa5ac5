// Nested routines: helpers that read and write their parent's parameters and locals, recursion of a
// nested routine over its parent's state, two levels deep, and a nested name hiding a global one.
program Nested;

var
  depth: Integer;

function Helper(n: Integer): Integer;
begin
  Result := n + 1000;
end;

function SumOfSquares(n: Integer): Integer;
var
  total, i: Integer;

  procedure Add(value: Integer);
  begin
    total := total + value * value;
  end;

begin
  total := 0;
  for i := 1 to n do
    Add(i);
  Result := total;
end;

function Permutations(const letters: string): string;
var
  used: string;
  count: Integer;

  procedure Walk(const prefix: string);
  var
    k: Integer;
  begin
    if Length(prefix) = Length(letters) then
    begin
      Inc(count);
      if count <= 4 then
        used := used + prefix + ' ';
      Exit;
    end;
    for k := 1 to Length(letters) do
      if Pos(letters[k], prefix) = 0 then
        Walk(prefix + letters[k]);
  end;

begin
  used := '';
  count := 0;
  Walk('');
  Result := used + IntToStr(count);
end;

procedure Outer(limit: Integer);
var
  log: string;

  procedure Middle(step: Integer);
  var
    here: Integer;

    procedure Inner;
    begin
      log := log + IntToStr(here * step + limit) + ' ';
      Inc(depth);
    end;

  begin
    for here := 1 to 2 do
      Inner;
  end;

  function Helper(n: Integer): Integer;
  begin
    Result := n + limit;
  end;

begin
  log := '';
  Middle(10);
  Middle(100);
  ShowMessage(log + 'nested helper ' + IntToStr(Helper(1)));
end;

function Fib(n: Integer): Integer;
var
  calls: Integer;

  function Go(k: Integer): Integer;
  begin
    Inc(calls);
    if k < 2 then
      Result := k
    else
      Result := Go(k - 1) + Go(k - 2);
  end;

begin
  calls := 0;
  Result := Go(n);
  ShowMessage('fib(' + IntToStr(n) + ') took ' + IntToStr(calls) + ' calls');
end;

begin
  ShowMessage(IntToStr(SumOfSquares(10)));
  ShowMessage(Permutations('abcd'));
  depth := 0;
  Outer(5);
  ShowMessage('inner ran ' + IntToStr(depth) + ' times, global helper ' + IntToStr(Helper(1)));
  ShowMessage(IntToStr(Fib(15)));
end.
