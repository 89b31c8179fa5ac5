{$R+}
// Static arrays with any integer bounds: element access, a typed constant array, Low, High and Length of
// static and constructed arrays, and ERangeError for an index outside the bounds or a text.
program Bounds;

const
  Days: array[1..12] of Integer = (31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31);

var
  months: array[1..12] of Currency;
  around: array[-5..5] of Integer;
  built: array of Integer;
  i, k: Integer;
  total: Currency;
  line, s: string;

function Total3(const values: array of Integer): Integer;
var
  j: Integer;
begin
  Result := 0;
  for j := Low(values) to High(values) do
    Result := Result + values[j] * (j + 1);
end;

begin
  for i := 1 to 12 do
    months[i] := i * 100.5;
  total := 0;
  for i := Low(months) to High(months) do
    total := total + months[i];
  ShowMessage(FloatToStr(total) + ' over ' + IntToStr(Length(months)) + ' months, ' + IntToStr(Low(months)) +
    '..' + IntToStr(High(months)));
  for i := -5 to 5 do
    around[i] := i * i;
  line := '';
  for i := High(around) downto Low(around) do
    line := line + IntToStr(around[i]) + ' ';
  ShowMessage(line + IntToStr(Length(around)));
  ShowMessage('open array from index 0: ' + IntToStr(Total3(around)));
  built := [7, 8, 9];
  ShowMessage(IntToStr(Low(built)) + '..' + IntToStr(High(built)) + ' ' + IntToStr(Length(built)));
  for k := 0 to 13 do
    try
      if k in [0, 13] then
        months[k] := 1
      else
        months[k] := months[k] + 1;
    except
      on E: ERangeError do
        ShowMessage(IntToStr(k) + ' is outside 1..12');
    end;
  k := -6;
  try
    i := around[k];
    ShowMessage(IntToStr(i));
  except
    on E: ERangeError do
      ShowMessage('-6 is outside -5..5');
  end;
  ShowMessage(FloatToStr(months[1]) + ' ' + FloatToStr(months[12]));
  k := 0;
  for i := Low(Days) to High(Days) do
    k := k + Days[i];
  ShowMessage(IntToStr(k) + ' days, ' + IntToStr(Days[2]) + ' in February');
  s := 'abc';
  for k := 3 to 4 do
    try
      ShowMessage(s[k]);
    except
      on E: ERangeError do
        ShowMessage(IntToStr(k) + ' is past the text');
    end;
end.
