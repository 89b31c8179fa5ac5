// Ord, Succ and Pred of Booleans, characters and integers, the counting idiom built on Ord(condition), the
// Integer cast of a Boolean, and a Variant holding True read as an integer.
program Ordinals;

var
  s: string;
  i, n, vowels: Integer;
  b: Boolean;
  v: Variant;

begin
  ShowMessage(IntToStr(Ord(False)) + ' ' + IntToStr(Ord(True)) + ' ' + IntToStr(Ord('A')) + ' ' + IntToStr(Ord(-5)));
  b := 3 > 2;
  ShowMessage(IntToStr(Ord(b)) + ' ' + IntToStr(Integer(b)) + ' ' + IntToStr(Integer(not b)));
  s := 'banana bread';
  n := 0;
  vowels := 0;
  for i := 1 to Length(s) do
  begin
    n := n + Ord(s[i] = 'a');
    vowels := vowels + Ord(s[i] in ['a', 'e', 'i', 'o', 'u']);
  end;
  ShowMessage(IntToStr(n) + ' a, ' + IntToStr(vowels) + ' vowels');
  ShowMessage(IntToStr(Succ(5)) + ' ' + IntToStr(Pred(5)) + ' ' + IntToStr(Pred(-2147483647)) + ' ' + Succ('a') +
    Pred('z'));
  if Succ(False) and not Pred(True) then
    ShowMessage('Succ(False) and Pred(True)');
  if Ord(True) + Ord(True) = 2 then
    ShowMessage('two truths make 2');
  v := True;
  n := v;
  ShowMessage('a Variant holding True as an integer: ' + IntToStr(n) + ', cast ' + IntToStr(Integer(v)));
  v := False;
  n := v;
  ShowMessage('and False: ' + IntToStr(n));
end.
