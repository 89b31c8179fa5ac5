// Currency: four decimals kept exactly through sums, products rounded to four decimals.
program CurrencyAmounts;

var
  price, total, vat: Currency;
  i: Integer;

begin
  price := 19.99;
  total := 0;
  for i := 1 to 3 do
    total := total + price;
  ShowMessage('3 x 19.99 = ' + FloatToStr(total));
  total := 0;
  for i := 1 to 10 do
    total := total + 0.1;
  if total = 1 then
    ShowMessage('ten tenths make one')
  else
    ShowMessage('ten tenths miss one');
  vat := total * 0.19;
  ShowMessage('vat ' + FloatToStr(vat));
  price := 1.23456;
  ShowMessage('kept ' + FloatToStr(price));
  price := 2.5;
  total := price * 3;
  ShowMessage('2.5 * 3 = ' + FloatToStr(total));
  total := total - 10;
  ShowMessage('minus 10 = ' + FloatToStr(total));
  price := 0.0001;
  total := 0;
  for i := 1 to 12345 do
    total := total + price;
  ShowMessage('12345 ticks = ' + FloatToStr(total));
  ShowMessage(Format('%.2f', [total * 100]));
end.
