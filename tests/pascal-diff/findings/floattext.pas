// FloatToStr below 0.0001. Free Pascal writes fixed-point digits down to 0.00001 (0.00001, 0.0000123, -0.00005);
// Delphi, whose documentation says 0.00001 as well, switches to scientific notation below 0.0001 (1E-5,
// 1.23E-5, -5E-5), and the script engine writes what Delphi writes. The program stays here as the record of
// that difference; it is not a fault to mend.
program FloatText;

begin
  ShowMessage(FloatToStr(0.00001) + ' ' + FloatToStr(0.0000123) + ' ' + FloatToStr(-0.00005) + ' ' +
    FloatToStr(0.000009999));
end.
