// Elements of arrays and characters of texts as var and out arguments and for Inc and Dec: the callee's
// writes reach the element, and the index is worked out once per call.
program VarElements;

var
  a: array[0..4] of Integer;
  freq: array[0..9] of Integer;
  names: array[0..2] of string;
  s: string;
  i, calls: Integer;

procedure Swap(var p, q: Integer);
var
  tmp: Integer;
begin
  tmp := p;
  p := q;
  q := tmp;
end;

procedure Bump(var p: Integer; by: Integer);
begin
  p := p + by;
end;

procedure Upper(var c: Char);
begin
  if c in ['a'..'z'] then
    c := Chr(Ord(c) - 32);
end;

procedure Produce(out text: string; n: Integer);
begin
  text := IntToStr(n * n);
end;

function Index(n: Integer): Integer;
begin
  Inc(calls);
  Result := n;
end;

procedure Twice(var p: Integer);
begin
  p := p * 2;
  p := p + 1;
end;

function Joined: string;
var
  k: Integer;
begin
  Result := '';
  for k := 0 to 4 do
    Result := Result + IntToStr(a[k]) + ' ';
end;

begin
  for i := 0 to 4 do
    a[i] := i * 10;
  Swap(a[0], a[2]);
  Bump(a[2], 5);
  Swap(a[3], a[3]);
  ShowMessage(Joined);
  Inc(a[4]);
  Dec(a[1], 3);
  Inc(a[a[1] - 7], 100);
  ShowMessage(Joined);
  s := '3141592653589793';
  for i := 1 to Length(s) do
    Inc(freq[Ord(s[i]) - Ord('0')]);
  s := '';
  for i := 0 to 9 do
    s := s + IntToStr(freq[i]);
  ShowMessage('digit counts ' + s);
  s := 'hello world';
  Upper(s[1]);
  Upper(s[7]);
  Upper(s[6]);
  ShowMessage(s);
  Produce(names[1], 12);
  names[2] := 'x';
  Upper(names[2][1]);
  ShowMessage('[' + names[0] + '] [' + names[1] + '] [' + names[2] + ']');
  calls := 0;
  a[2] := 4;
  Twice(a[Index(2)]);
  Inc(a[Index(3)], 2);
  ShowMessage('index calls ' + IntToStr(calls) + ', ' + Joined);
end.
