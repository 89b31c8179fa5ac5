// Parameters: by value, var, out and const, of numbers and texts; a var parameter that aliases a global;
// the converting of an argument to the parameter's type.
program Params;

var
  a, b, g: Integer;
  s, t: string;
  x: Double;

procedure Swap(var p, q: Integer);
var
  tmp: Integer;
begin
  tmp := p;
  p := q;
  q := tmp;
end;

procedure Change(n: Integer; var m: Integer; const k: Integer);
begin
  n := n + 100;
  m := m + n + k;
end;

procedure Fill(out r: string; count: Integer);
var
  k: Integer;
begin
  r := '';
  for k := 1 to count do
    r := r + Chr(Ord('a') + k - 1);
end;

procedure AddToGlobal(var p: Integer);
begin
  p := p + 1;
  g := g * 10;
  p := p + 1;
end;

procedure Append(var text: string; const tail: string);
begin
  text := text + tail;
end;

procedure Both(var p, q: Integer);
begin
  p := p + 1;
  q := q * 2;
end;

function Half(value: Double): Double;
begin
  Result := value / 2;
end;

function Twice(value: Integer): Integer;
begin
  Result := value * 2;
  value := 0;
end;

begin
  a := 1;
  b := 2;
  Swap(a, b);
  ShowMessage('swapped ' + IntToStr(a) + ' ' + IntToStr(b));
  Change(a, b, 5);
  ShowMessage('value stays, var changes: ' + IntToStr(a) + ' ' + IntToStr(b));
  Fill(s, 5);
  ShowMessage('out: ' + s);
  g := 3;
  AddToGlobal(g);
  ShowMessage('aliased global: ' + IntToStr(g));
  s := 'abc';
  Append(s, 'def');
  Append(s, s);
  ShowMessage('var text: ' + s);
  a := 5;
  Both(a, a);
  ShowMessage('same variable twice: ' + IntToStr(a));
  x := Half(7);
  ShowMessage('integer to a Double parameter: ' + FloatToStr(x) + ' ' + FloatToStr(Half(a)));
  a := 21;
  ShowMessage('value parameter written: ' + IntToStr(Twice(a)) + ' ' + IntToStr(a));
  t := 'x';
  s := t;
  Append(s, 'y');
  ShowMessage('copy unchanged: ' + t + ' ' + s);
end.
