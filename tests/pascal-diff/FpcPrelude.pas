// What the product vocabulary gives a script and Free Pascal's units do not, as the script tool behaves
// without a display. Only the Free Pascal build of a program sees this unit.
unit FpcPrelude;

interface

procedure ShowMessage(const Msg: string);
function QuotedStr(const S, Quote: string): string;

implementation

uses
  SysUtils;

procedure ShowMessage(const Msg: string);
begin
  WriteLn(Msg);
end;

function QuotedStr(const S, Quote: string): string;
begin
  Result := AnsiQuotedStr(S, Quote[1]);
end;

end.
