// Backtracking: every placement of eight queens, counted, with the first one drawn.
program Queens;

var
  column: array[0..7] of Integer;
  usedColumn: array[0..7] of Boolean;
  usedUp, usedDown: array[0..14] of Boolean;
  solutions: Integer;
  first: string;

procedure Place(row: Integer);
var
  c, r, k: Integer;
  line: string;
begin
  if row = 8 then
  begin
    Inc(solutions);
    if solutions = 1 then
      for r := 0 to 7 do
      begin
        line := '';
        for k := 0 to 7 do
          if column[r] = k then
            line := line + 'Q'
          else
            line := line + '.';
        first := first + line + #10;
      end;
    Exit;
  end;
  for c := 0 to 7 do
    if not usedColumn[c] and not usedUp[row + c] and not usedDown[row - c + 7] then
    begin
      column[row] := c;
      usedColumn[c] := True;
      usedUp[row + c] := True;
      usedDown[row - c + 7] := True;
      Place(row + 1);
      usedColumn[c] := False;
      usedUp[row + c] := False;
      usedDown[row - c + 7] := False;
    end;
end;

begin
  solutions := 0;
  first := '';
  Place(0);
  ShowMessage(first + IntToStr(solutions) + ' solutions');
end.
