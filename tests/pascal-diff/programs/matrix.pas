// Two dimensions, written m[i][j] and m[i, j]: a matrix product, a transpose and a whole matrix copied
// without sharing.
program Matrix;

var
  m, n, p: array[0..2, 0..2] of Integer;
  i, j, k: Integer;

procedure Show(const title: string);
var
  r, c: Integer;
  line: string;
begin
  ShowMessage(title);
  for r := 0 to 2 do
  begin
    line := '';
    for c := 0 to 2 do
      line := line + ' ' + IntToStr(p[r][c]);
    ShowMessage(line);
  end;
end;

begin
  for i := 0 to 2 do
    for j := 0 to 2 do
    begin
      m[i][j] := i * 3 + j + 1;
      if i = j then
        n[i][j] := 2
      else
        n[i][j] := i - j;
    end;
  for i := 0 to 2 do
    for j := 0 to 2 do
    begin
      p[i, j] := 0;
      for k := 0 to 2 do
        p[i, j] := p[i, j] + m[i, k] * n[k][j];
    end;
  Show('product');
  for i := 0 to 2 do
    for j := 0 to 2 do
      p[j][i] := m[i][j];
  Show('transpose');
  p := m;
  m[1][1] := 0;
  p[2][2] := -p[2][2];
  ShowMessage('copies apart: ' + IntToStr(m[1][1]) + ' ' + IntToStr(m[2][2]));
  Show('copy');
end.
