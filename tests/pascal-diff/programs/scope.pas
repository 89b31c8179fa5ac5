// Names: locals hide globals of the same name, each call has fresh locals, routines share globals, and
// constants and initialised variables hold their declared values.
program Scope;

const
  Limit = 5;
  Title: string = 'scope';
  Rate = 2.5;
  Greeting = 'hi' + '!';

var
  count: Integer;
  name: string;
  seeded: Integer = 42;

procedure Shadow;
var
  count: Integer;
  name: string;
begin
  count := 100;
  name := 'local';
  ShowMessage('inside: ' + IntToStr(count) + ' ' + name);
end;

function Counter: Integer;
var
  fresh: string;
begin
  fresh := '';
  fresh := fresh + 'x';
  count := count + 1;
  Result := count * 10 + Length(fresh);
end;

function Hidden(limit: Integer): Integer;
begin
  Result := limit + Limit;
end;

procedure Recount(count: Integer);
begin
  count := count * 2;
  ShowMessage('parameter hides the global: ' + IntToStr(count));
end;

begin
  count := 1;
  name := 'global';
  Shadow;
  ShowMessage('outside: ' + IntToStr(count) + ' ' + name);
  ShowMessage(IntToStr(Counter) + ' ' + IntToStr(Counter) + ' ' + IntToStr(Counter));
  Recount(7);
  ShowMessage('global kept: ' + IntToStr(count));
  ShowMessage(Title + ' ' + IntToStr(Limit) + ' ' + FloatToStr(Rate * Limit) + ' ' + Greeting + ' ' +
    IntToStr(seeded));
  ShowMessage('a parameter hides a constant of its name: ' + IntToStr(Hidden(1)));
  seeded := seeded + 1;
  ShowMessage(IntToStr(seeded));
end.
