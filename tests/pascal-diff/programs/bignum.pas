// Long arithmetic in an array of decimal digits: factorials and powers of two far beyond 32 bits.
program BigNumbers;

var
  digits: array[0..199] of Integer;
  used: Integer;

procedure SetOne;
var
  k: Integer;
begin
  for k := 0 to 199 do
    digits[k] := 0;
  digits[0] := 1;
  used := 1;
end;

procedure MultiplyBy(factor: Integer);
var
  k, carry, product: Integer;
begin
  carry := 0;
  for k := 0 to used - 1 do
  begin
    product := digits[k] * factor + carry;
    digits[k] := product mod 10;
    carry := product div 10;
  end;
  while carry > 0 do
  begin
    digits[used] := carry mod 10;
    carry := carry div 10;
    Inc(used);
  end;
end;

function AsText: string;
var
  k: Integer;
begin
  Result := '';
  for k := used - 1 downto 0 do
    Result := Result + Chr(Ord('0') + digits[k]);
end;

function DigitSum: Integer;
var
  k: Integer;
begin
  Result := 0;
  for k := 0 to used - 1 do
    Result := Result + digits[k];
end;

var
  i: Integer;

begin
  SetOne;
  for i := 2 to 50 do
    MultiplyBy(i);
  ShowMessage('50! = ' + AsText);
  ShowMessage('digits ' + IntToStr(used) + ', digit sum ' + IntToStr(DigitSum));
  SetOne;
  for i := 1 to 100 do
    MultiplyBy(2);
  ShowMessage('2^100 = ' + AsText);
  SetOne;
  for i := 1 to 20 do
    MultiplyBy(99991);
  ShowMessage('99991^20 = ' + AsText);
end.
