// Format: the placeholder letters with width, precision, left alignment, argument index and '*'.
program FormatText;

var
  i: Integer;

begin
  ShowMessage(Format('[%d] [%5d] [%-5d] [%.3d] [%d%%]', [42, 42, 42, 7, 100]));
  ShowMessage(Format('[%d] [%u] [%x] [%X] [%8.4x]', [-42, 42, 255, 48879, 255]));
  ShowMessage(Format('[%s] [%8s] [%-8s] [%.2s]', ['abc', 'abc', 'abc', 'abcdef']));
  ShowMessage(Format('[%f] [%.0f] [%.3f] [%8.2f] [%-8.1f]', [3.14159, 2.5, -1.0006, 12.345, 0.25]));
  ShowMessage(Format('[%.9e] [%.3e] [%g] [%g] [%g]', [12345.678, 0.000123, 0.5, 1e20, 123456.0]));
  ShowMessage(Format('[%*d] [%-*d] [%.*f] [%7:s %6:s %s]', [6, 12, 4, 3, 2, 3.14159, 'world', 'hello']));
  ShowMessage(Format('%s has %d items costing %.2f', ['cart', 3, 9.5]));
  for i := 1 to 4 do
    ShowMessage(Format('%3d|%-6s|%6.2f', [i * i, Copy('abcdef', 1, i), i / 7]));
  ShowMessage(Format('no placeholders', []));
end.
