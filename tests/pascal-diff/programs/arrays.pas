// Static arrays from 0: zero start values, element assignment, arrays of texts and Booleans, whole-array
// copies that do not alias, arrays handed to routines by value and by var, and Length.
program Arrays;

var
  a, b: array[0..9] of Integer;
  names: array[0..3] of string;
  seen: array[0..4] of Boolean;
  i, total: Integer;
  line: string;

function Sum(const values: array of Integer): Integer;
var
  k: Integer;
begin
  Result := 0;
  for k := 0 to Length(values) - 1 do
    Result := Result + values[k];
end;

procedure Squares(var values: array of Integer);
var
  k: Integer;
begin
  for k := 0 to Length(values) - 1 do
    values[k] := k * k;
end;

procedure Spoil(values: array of Integer);
begin
  values[0] := -1;
end;

function Joined(const values: array of Integer): string;
var
  k: Integer;
begin
  Result := '';
  for k := 0 to Length(values) - 1 do
  begin
    if k > 0 then
      Result := Result + ',';
    Result := Result + IntToStr(values[k]);
  end;
end;

begin
  ShowMessage('start: ' + Joined(a) + ' length ' + IntToStr(Length(a)));
  for i := 0 to 9 do
    a[i] := 10 - i;
  ShowMessage('filled: ' + Joined(a) + ' sum ' + IntToStr(Sum(a)));
  b := a;
  b[0] := 99;
  ShowMessage('copy changed: ' + IntToStr(a[0]) + ' ' + IntToStr(b[0]));
  Squares(a);
  ShowMessage('by var: ' + Joined(a));
  Spoil(a);
  ShowMessage('by value: ' + IntToStr(a[0]));
  a[a[3] - 5] := 500;
  ShowMessage('index from an element: ' + Joined(a));
  names[0] := 'zero';
  names[3] := 'three';
  names[1] := names[0] + names[3];
  line := '';
  for i := 0 to 3 do
    line := line + '[' + names[i] + ']';
  ShowMessage(line + ' ' + IntToStr(Length(names[1])));
  ShowMessage('character of an element: ' + names[3][2]);
  for i := 0 to 4 do
    seen[i] := i mod 2 = 0;
  total := 0;
  for i := 0 to 4 do
    if seen[i] then
      Inc(total);
  ShowMessage('true flags: ' + IntToStr(total));
  total := 0;
  for i := 0 to 9 do
    if a[i] > total then
      total := a[i];
  ShowMessage('largest: ' + IntToStr(total));
end.
