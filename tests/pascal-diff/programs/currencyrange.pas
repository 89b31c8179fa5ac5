// Currency holds values up to 922337203685477.5807 and down to -922337203685477.5808.
program CurrencyRange;

var
  c: Currency;

begin
  c := 921000000000000;
  ShowMessage(FloatToStr(c));
  c := 922337203685477;
  ShowMessage(FloatToStr(c));
  c := -922337203685477;
  ShowMessage(FloatToStr(c));
  c := c + 922337203685477;
  ShowMessage(FloatToStr(c));
end.
