// Arrays made by a constructor: their length, elements, iteration and constructors of texts.
program DynArrays;

var
  primes: array of Integer;
  words: array of string;
  i, total: Integer;
  line: string;

begin
  primes := [2, 3, 5, 7, 11, 13];
  total := 0;
  for i := 0 to Length(primes) - 1 do
    total := total + primes[i];
  ShowMessage(IntToStr(Length(primes)) + ' primes sum to ' + IntToStr(total));
  primes[0] := 1;
  ShowMessage('first changed: ' + IntToStr(primes[0]) + ', last ' + IntToStr(primes[Length(primes) - 1]));
  words := ['alpha', 'beta', 'gamma'];
  line := '';
  for i := Length(words) - 1 downto 0 do
    line := line + words[i] + ' ';
  ShowMessage(line + IntToStr(Length(words[2])));
  words := [];
  ShowMessage('emptied: ' + IntToStr(Length(words)));
  primes := [42];
  ShowMessage('one element: ' + IntToStr(primes[0]) + ' of ' + IntToStr(Length(primes)));
end.
