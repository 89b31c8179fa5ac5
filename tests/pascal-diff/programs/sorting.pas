// Sorting a pseudo-random array three ways (insertion, quicksort, counting) and searching it by halves.
program Sorting;

var
  data, work: array[0..199] of Integer;
  counts: array[0..99] of Integer;
  seed, i, j, k, key: Integer;

function NextRandom: Integer;
begin
  // A small linear congruential generator whose products stay inside 32 bits.
  seed := (seed * 1103 + 12345) mod 65536;
  Result := seed mod 100;
end;

function Sorted(const values: array of Integer): Boolean;
var
  n: Integer;
begin
  Result := True;
  for n := 1 to Length(values) - 1 do
    if values[n - 1] > values[n] then
      Result := False;
end;

function Checksum(const values: array of Integer): Integer;
var
  n: Integer;
begin
  Result := 0;
  for n := 0 to Length(values) - 1 do
    Result := (Result * 31 + values[n]) mod 1000003;
end;

procedure QuickSort(var values: array of Integer; lo, hi: Integer);
var
  l, r, pivot, tmp: Integer;
begin
  l := lo;
  r := hi;
  pivot := values[(lo + hi) div 2];
  repeat
    while values[l] < pivot do
      Inc(l);
    while values[r] > pivot do
      Dec(r);
    if l <= r then
    begin
      tmp := values[l];
      values[l] := values[r];
      values[r] := tmp;
      Inc(l);
      Dec(r);
    end;
  until l > r;
  if lo < r then
    QuickSort(values, lo, r);
  if l < hi then
    QuickSort(values, l, hi);
end;

function Find(const values: array of Integer; wanted: Integer): Integer;
var
  lo, hi, mid: Integer;
begin
  Result := -1;
  lo := 0;
  hi := Length(values) - 1;
  while lo <= hi do
  begin
    mid := (lo + hi) div 2;
    if values[mid] < wanted then
      lo := mid + 1
    else
    begin
      if values[mid] = wanted then
        Result := mid;
      hi := mid - 1;
    end;
  end;
end;

begin
  seed := 2024;
  for i := 0 to 199 do
    data[i] := NextRandom;
  ShowMessage('first: ' + IntToStr(data[0]) + ' ' + IntToStr(data[1]) + ' ' + IntToStr(data[2]));
  if not Sorted(data) then
    ShowMessage('not sorted yet');
  work := data;
  for i := 1 to 199 do
  begin
    key := work[i];
    j := i - 1;
    while (j >= 0) and (work[j] > key) do
    begin
      work[j + 1] := work[j];
      j := j - 1;
    end;
    work[j + 1] := key;
  end;
  ShowMessage('insertion: ' + IntToStr(Checksum(work)) + ' ' + IntToStr(work[0]) + '..' + IntToStr(work[199]));
  if Sorted(work) then
    ShowMessage('insertion sorted');
  work := data;
  QuickSort(work, 0, 199);
  ShowMessage('quicksort: ' + IntToStr(Checksum(work)));
  for i := 0 to 199 do
  begin
    k := data[i];
    counts[k] := counts[k] + 1;
  end;
  k := 0;
  for i := 0 to 99 do
    for j := 1 to counts[i] do
    begin
      data[k] := i;
      k := k + 1;
    end;
  ShowMessage('counting: ' + IntToStr(Checksum(data)));
  ShowMessage('first ' + IntToStr(work[123]) + ' at ' + IntToStr(Find(work, work[123])) + ', 100 at ' + IntToStr(Find(work, 100)) + ', 0 at ' +
    IntToStr(Find(work, 0)));
end.
