// Where the language accepts Pascal it means what Pascal means: elements as variables, ordinals, the
// exception class tree, array bounds and nested routines. Outputs were checked against fpc -Mdelphi.

#include "ScriptTestSupport.h"
#include "interpreter/ScriptExceptions.h"

namespace kalmora::test {
namespace {

class PascalTest : public ScriptFixture {
protected:
    PascalTest() {
        // A host function with a by-reference parameter, as the vocabulary's Delete and Insert have.
        Program.Adapter().DefineFunction(
            "Test", "Twice",
            [](Variant&, TJvInterpreterArgs& args) { args[0] = Variant(args[0].AsInteger() * 2); }, 1,
            {ParamByRef}, ResultNotDeclared);
    }
};

TEST_F(PascalTest, ElementsAndCharactersAreVariablesWhoseIndexIsEvaluatedOnce) {
    std::string script = R"(
var a, b: array[0..2] of Integer; freq: array[1..5] of Integer; s: string; calls: Integer;
procedure Swap(var x, y: Integer); var t: Integer; begin t := x; x := y; y := t end;
procedure Bump(var x: Integer; d: Integer); begin x := x + d end;
procedure Upper(var c: Char); begin c := 'Z' end;
procedure Replace(var x: Integer); begin a := b; x := 9 end;
function Next: Integer; begin Inc(calls); Result := calls end;
begin
  a[0] := 1; a[1] := 2; a[2] := 3;
  Swap(a[0], a[2]); Bump(a[2], 5); Twice(a[1]);
  Print(IntToStr(a[0]) + IntToStr(a[1]) + IntToStr(a[2]));
  Inc(freq[Next]); Inc(freq[Next], 3); Bump(freq[Next], 7); Twice(freq[Next]); Dec(freq[1]);
  Print(IntToStr(freq[1]) + IntToStr(freq[2]) + IntToStr(freq[3]) + IntToStr(freq[4]) + ' calls ' + IntToStr(calls));
  s := 'abc'; Upper(s[2]); Inc(s[3]); Print(s);
  b[0] := 5; Replace(a[0]); Print(a[0]);
end.)";
    // Replace assigns the whole array while its element is passed: as in Pascal the elements are copied into
    // the array that is there, so the write through the element lands in the new contents.
    EXPECT_EQ(Run(script), "346\n0370 calls 4\naZd\n9\n");
}

TEST_F(PascalTest, OrdinalsOfBooleansAreZeroAndOneWhileVariantConversionsReadTrueAsMinusOne) {
    std::string script = R"(
var s: string; i, n: Integer; b: Boolean; v: Variant;
begin
  s := 'banana'; n := 0;
  for i := 1 to Length(s) do n := n + Ord(s[i] = 'a');
  b := True; v := True; i := v;
  Print(IntToStr(n) + ' ' + IntToStr(Ord(False)) + ' ' + IntToStr(Ord(b)) + ' ' + IntToStr(Ord(v)));
  Print(IntToStr(Integer(True)) + ' ' + IntToStr(Integer(b)) + ' ' + IntToStr(Integer(v)) + ' ' + IntToStr(i));
  Print(IntToStr(Ord(Succ(False))) + ' ' + Pred('b') + Succ('y') + ' ' + IntToStr(Succ(-1)) + ' ' + IntToStr(Byte(300)));
  try b := Succ(True) except on E: ERangeError do Print(E.ClassName) end;
end.)";
    EXPECT_EQ(Run(script), "3 0 1 1\n1 1 -1 -1\n1 az 0 44\nERangeError\n");
}

TEST_F(PascalTest, HandlersTakeTheirClassAndItsDescendantsInTheOrderWritten) {
    std::string script = R"(
procedure Probe(n: Integer);
var zero: Integer;
begin
  zero := 0;
  try
    case n of
      1: raise EZeroDivide.Create('script');
      2: raise EInvalidOp.Create('script');
      3: zero := 1 div zero;
      4: Fail('host');
      5: raise EMine.Create('own');
    end;
  except
    on E: EZeroDivide do Print('zero ' + E.ClassName);
    on E: EMathError do Print('math ' + E.ClassName);
    on E: EIntError do Print('int ' + E.ClassName);
    on E: Exception do Print('any ' + E.ClassName + ' ' + E.Message);
    on E: EConvertError do Print('never: an earlier handler takes it');
  end;
end;
var i: Integer;
begin
  for i := 1 to 5 do Probe(i);
  try
    try Fail('again') except on E: Exception do raise E end;
  except
    on E: EConvertError do Print('re-raised ' + E.ClassName);
  end;
end.)";
    EXPECT_EQ(Run(script), "zero EZeroDivide\nmath EInvalidOp\nint EDivByZero\nany EConvertError host\n"
                           "any EMine own\nre-raised EConvertError\n");
    Program.SetSource("begin raise EAbort.Create('quiet') end.");
    EXPECT_THROW(Program.Run(), EAbort) << "a script's EAbort is the host's silent abort";
}

TEST_F(PascalTest, StaticArraysTakeAnyBoundsAndRefuseIndexesOutsideThem) {
    std::string script = R"(
const Days: array[1..3] of Integer = (31, 28, 31);
var months: array[1..12] of Currency; t: array[-5..5] of Integer; grid: array[1..2, 0..1] of string;
    letters: array['a'..'c'] of Integer; v: Variant; i: Integer; none: array of Integer;
function Sum(a: array of Integer): Integer;
var i: Integer;
begin Result := 0; for i := Low(a) to High(a) do Result := Result + a[i] end;
begin
  months[12] := 1.25; t[-5] := 7; t[5] := t[-5] * 2; grid[2, 1] := 'x'; Inc(letters['b']);
  Print(months[12] + months[1]); Print(IntToStr(t[-5] + t[5]) + grid[2][1] + IntToStr(letters['b']));
  Print(IntToStr(Low(t)) + '..' + IntToStr(High(t)) + ' ' + IntToStr(Length(months)) + ' ' + Low(letters) +
        IntToStr(High(grid[1])) + ' ' + IntToStr(Sum(Days)));
  v := [10, 20]; Print(IntToStr(Low(v)) + IntToStr(High(v)) + IntToStr(v[0]) + IntToStr(High(none)));
  for i := 0 to 13 do
    try months[i] := i except on E: ERangeError do Print(E.Message) end;
end.)";
    EXPECT_EQ(Run(script), "1.25\n21x1\n-5..5 12 a1 90\n0110-1\n"
                           "Range check error: index 0 outside 1..12 (line 15, column 15)\n"
                           "Range check error: index 13 outside 1..12 (line 15, column 15)\n");
}

TEST_F(PascalTest, NestedRoutinesSeeTheirParentsParametersAndLocalsAlsoInRecursion) {
    std::string script = R"(
function Outer(depth: Integer; var log: string): Integer;
var mine: Integer;
  procedure Note(text: string);
    procedure Append; begin log := log + text + IntToStr(depth) + ' ' end;
  begin Append; mine := mine + depth end;
  function Deeper: Integer;
  begin
    if depth > 1 then Deeper := Outer(depth - 1, log) else Deeper := 0;
    Note('after');
  end;
begin
  mine := 100;
  Note('before');
  Result := Deeper;
  Result := Result + mine;
end;
var log: string;
begin
  Print(Outer(3, log));
  Print(log);
end.)";
    // Each activation's helpers see that activation's depth and mine, however deep the recursion is.
    EXPECT_EQ(Run(script), "312\nbefore3 before2 before1 after1 after2 after3 \n");
}

} // namespace
} // namespace kalmora::test
