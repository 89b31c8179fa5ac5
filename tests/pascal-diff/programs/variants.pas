// Variant variables: the numeric kind an operation gives, texts joined, values compared and handed to typed
// variables.
program Variants;

var
  v, w: Variant;
  i: Integer;
  d: Double;
  s: string;

begin
  v := 7;
  w := 2;
  ShowMessage(IntToStr(v + w) + ' ' + IntToStr(v * w) + ' ' + IntToStr(v div w) + ' ' + FloatToStr(v / w));
  w := 0.5;
  ShowMessage(FloatToStr(v + w) + ' ' + FloatToStr(v * w));
  v := 'ab';
  w := 'cd';
  ShowMessage(v + w + 'e');
  v := 10;
  i := v;
  d := v;
  s := IntToStr(v);
  ShowMessage(IntToStr(i + 1) + ' ' + FloatToStr(d / 4) + ' ' + s);
  v := 2.75;
  d := v;
  ShowMessage(FloatToStr(d * 2));
  v := 3;
  w := 3.0;
  if v = w then
    ShowMessage('3 = 3.0');
  v := 'abc';
  w := 'abd';
  if v < w then
    ShowMessage('abc < abd');
  v := True;
  if v then
    ShowMessage('a Boolean variant decides an if');
  v := 5;
  v := v + 1;
  i := i + v;
  ShowMessage(IntToStr(v) + ' ' + IntToStr(i));
end.
