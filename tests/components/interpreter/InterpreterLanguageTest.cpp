// The language itself: real scripts whose Print output shows what ran.

#include "ScriptTestSupport.h"
#include "interpreter/ScriptExceptions.h"

namespace kalmora::test {
namespace {

using LanguageTest = ScriptFixture;

TEST_F(LanguageTest, ExpressionsFollowPascalPrecedenceAndTypes) {
    EXPECT_EQ(Run("begin Print(2 + 3 * 4); Print((2 + 3) * 4); Print(-2 * 3 + 1); Print(7 div 2); "
                  "Print(-7 mod 3); Print(7 / 2); Print(1 shl 4 or 1); Print($FF and not 15); "
                  "Print(5 xor 3); Print(-2147483648); Print(2147483647 + 1) end."),
              "14\n20\n-5\n3\n-1\n3.5\n17\n240\n6\n-2147483648\n-2147483648\n");
}

TEST_F(LanguageTest, ComparisonsAndBooleanLogic) {
    EXPECT_EQ(Run("begin Print(1 < 2); Print('abc' < 'abd'); Print(1.5 >= 1); Print(not (1 = 1)); "
                  "Print((1 < 2) and (2 < 3) or False); Print(True xor True); Print('a' <> 'A') end."),
              "True\nTrue\nTrue\nFalse\nTrue\nFalse\nTrue\n");
}

TEST_F(LanguageTest, AndOrSkipTheRightSideWhenTheLeftDecides) {
    EXPECT_EQ(
        Run("function Loud(b: Boolean): Boolean; begin Print('evaluated'); Result := b end;\n"
            "begin if False and Loud(True) then Print('no'); if True or Loud(True) then Print('yes') end."),
        "yes\n");
}

TEST_F(LanguageTest, StringLiteralsKeepDoubledQuotesAndCodes) {
    EXPECT_EQ(Run("const Q = 'it''s'; var s: string; begin s := Q + #33#$41; Print(s); Print(''''); "
                  "Print('a' + #13#10 + 'b') end."),
              "it's!A\n'\na\r\nb\n");
}

TEST_F(LanguageTest, DivisionByZeroRaisesEZeroDivideForFloatsAndEDivByZeroForIntegers) {
    Program.SetSource("var x: Double; begin x := 0; Print(1 / x) end.");
    EXPECT_THROW(Program.Run(), EZeroDivide);
    Program.SetSource("var x: Integer; begin x := 0; Print(1 div x) end.");
    EXPECT_THROW(Program.Run(), EDivByZero);
}

TEST_F(LanguageTest, CurrencyBeyondItsRangeRaisesEOverflow) {
    for (const char* script : {"var c: Currency; begin c := 922337203685477; c := c + c end.",
                               "var c: Currency; begin c := -922337203685477; c := c - 1 end.",
                               "var c: Currency; begin c := 922337203685478 end."}) {
        Program.SetSource(script);
        EXPECT_THROW(Program.Run(), EOverflow) << script;
    }
}

TEST_F(LanguageTest, ControlFlowStatements) {
    std::string script = R"(
var i, n: Integer; s: string;
begin
  for i := 1 to 5 do
    if i mod 2 = 0 then s := s + 'e' else s := s + 'o';
  Print(s);
  s := '';
  for i := 3 downto 1 do s := s + IntToStr(i);
  Print(s);
  n := 0;
  while True do begin
    n := n + 1;
    if n < 3 then continue;
    if n = 5 then break;
    Print(n);
  end;
  repeat n := n - 1 until n <= 2;
  Print(n);
  for i := 1 to 0 do Print('never');
end.)";
    EXPECT_EQ(Run(script), "oeoeo\n321\n3\n4\n2\n");
}

TEST_F(LanguageTest, CaseWithListsRangesTextsAndElse) {
    std::string script = R"(
procedure Classify(x: Variant);
begin
  case x of
    1, 2: Print('small');
    3..9: Print('medium');
    'a'..'z': Print('letter');
  else
    Print('other');
  end;
end;
begin Classify(2); Classify(7); Classify('q'); Classify(100); Classify('Q') end.)";
    EXPECT_EQ(Run(script), "small\nmedium\nletter\nother\nother\n");
}

TEST_F(LanguageTest, VarParametersResultAndRecursion) {
    std::string script = R"(
program Demo;
uses SysUtils, Dialogs;
var a, b: Integer;
procedure Swap(var x, y: Integer);
var t: Integer;
begin t := x; x := y; y := t end;
procedure Twice(var v: Integer); begin v := v * 2 end;
procedure Outer(var v: Integer); begin Twice(v); Twice(v) end;
function Fib(n: Integer): Integer;
begin
  if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2);
end;
function Old(n: Integer): string;
begin Old := 'n=' + IntToStr(n) end;
begin
  a := 1; b := 2;
  Swap(a, b);
  Print(IntToStr(a) + ',' + IntToStr(b));
  Outer(a);
  Print(a);
  Print(Fib(20));
  Print(Old(4));
end.)";
    EXPECT_EQ(Run(script), "2,1\n8\n6765\nn=4\n");
}

TEST_F(LanguageTest, ExitLeavesTheRoutineAndForwardDeclarationsAllowMutualRecursion) {
    std::string script = R"(
function IsOdd(n: Integer): Boolean; forward;
function IsEven(n: Integer): Boolean;
begin if n = 0 then Result := True else Result := IsOdd(n - 1) end;
function IsOdd(n: Integer): Boolean;
begin if n = 0 then Result := False else Result := IsEven(n - 1) end;
function FirstOver(limit: Integer): Integer;
var i: Integer;
begin
  for i := 1 to 100 do
    if i * i > limit then Exit(i);
  Result := -1;
end;
begin
  Print(IsEven(10)); Print(IsOdd(7)); Print(FirstOver(50));
  Print('before'); Exit; Print('after');
end.)";
    EXPECT_EQ(Run(script), "True\nTrue\n8\nbefore\n");
}

TEST_F(LanguageTest, SetsArraysAndIn) {
    std::string script = R"(
var a: array[0..2] of Integer; v: Variant; c: string;
begin
  Print(3 in [1, 3, 5]); Print(4 in [1, 3, 5]); Print(7 in [1..10]);
  c := 'k'; Print(c in ['a'..'z']);
  a[0] := 10; a[2] := a[0] + 5; Print(a[2]); Print(a[1]);
  v := [2, 'x', 4]; Print('x' in v); Print(v[1]);
  c := 'abc'; c[2] := 'X'; Print(c); Print(c[3]);
end.)";
    EXPECT_EQ(Run(script), "True\nFalse\nTrue\nTrue\n15\n0\nTrue\nx\naXc\nc\n");
}

TEST_F(LanguageTest, ConcatenationInPlaceKeepsTheMeaningOfTheExpression) {
    std::string script = R"(
var s: string; v: Variant;
function Build(n: Integer): string;
var i: Integer;
begin
  for i := 1 to n do Result := Result + 'line ' + IntToStr(i) + #13#10;
end;
begin
  s := 'ab'; s := s + s + s; Print(s);
  v := 1; v := v + 2 + 3; Print(v);
  v := 'x'; v := v + 1 + 2; Print(v);
  s := Build(3); Print(s);
end.)";
    EXPECT_EQ(Run(script), "ababab\n6\nx12\nline 1\r\nline 2\r\nline 3\r\n\n");
}

TEST_F(LanguageTest, ExceptionsAreCaughtReraisedAndFinallyAlwaysRuns) {
    std::string script = R"(
procedure Risky(n: Integer);
begin
  try
    if n = 1 then Fail('host failure');
    if n = 2 then raise Exception.Create('script failure');
    Print('no failure');
  finally
    Print('finally ' + IntToStr(n));
  end;
end;
var i: Integer;
begin
  for i := 0 to 2 do
    try
      Risky(i);
    except
      on E: EConvertError do Print('convert: ' + E.Message);
      on E: Exception do Print(E.ClassName + ': ' + E.Message);
    end;
  for i := 1 to 3 do
    try
      if i = 2 then break;
    finally
      Print('left ' + IntToStr(i));
    end;
  try
    try
      Fail('inner');
    except
      Print('handled once');
      raise;
    end;
  except
    on E: Exception do Print('again: ' + E.Message);
  end;
end.)";
    EXPECT_EQ(Run(script), "no failure\nfinally 0\nfinally 1\nconvert: host failure\nfinally 2\n"
                           "Exception: script failure\nleft 1\nleft 2\nhandled once\nagain: inner\n");
}

TEST_F(LanguageTest, UnhandledScriptExceptionReachesTheHostWithItsClassAndMessage) {
    Program.SetSource("begin try raise EMyError.Create('boom') finally Print('cleanup') end end.");
    try {
        Program.Run();
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.ClassName(), "EMyError");
        EXPECT_EQ(error.Message(), "boom");
    }
    EXPECT_EQ(Output, "cleanup\n");
}

TEST_F(LanguageTest, HandlerWithoutMatchPassesTheExceptionOn) {
    Program.SetSource("begin try Fail('x') except on E: EZeroDivide do Print('wrong') end end.");
    EXPECT_THROW(Program.Run(), EConvertError);
}

TEST_F(LanguageTest, BareRaiseOutsideAHandlerIsAScriptError) {
    EScriptError error = RunFailing("begin\n  raise;\nend.");
    EXPECT_EQ(error.Line(), 2);
    EXPECT_EQ(error.Column(), 3);
}

TEST_F(LanguageTest, IncAndDecChangeTheirVariable) {
    EXPECT_EQ(Run("var i: Integer; d: Double;\nprocedure Up(var n: Integer); begin Inc(n, 10) end;\n"
                  "begin i := 2147483647; Inc(i); Print(i); Dec(i, 3); Print(i); Up(i); Print(i); d := 1.5; "
                  "Inc(d); "
                  "Print(d) end."),
              "-2147483648\n2147483645\n-2147483641\n2.5\n");
}

TEST_F(LanguageTest, ExitAndBreakRunTheEnclosingFinally) {
    EXPECT_EQ(
        Run("function F: Integer;\nbegin Result := 1; try Exit(2) finally Print('finally') end; Result := 3 "
            "end;\nbegin Print(F) end."),
        "finally\n2\n");
}

TEST_F(LanguageTest, IdentifiersAndKeywordsIgnoreLetterCase) {
    EXPECT_EQ(Run("VAR Counter: INTEGER; BEGIN counter := 4; IF COUNTER = 4 THEN print(CoUnTeR) END."),
              "4\n");
}

TEST_F(LanguageTest, CommentsOfAllThreeKinds) {
    EXPECT_EQ(Run("{ brace } (* paren\n star *) begin // line\n Print(1) { inner } end."), "1\n");
}

struct ErrorCase {
    const char* Name;
    const char* Source;
    int Line;
    int Column;
    const char* Text;
};

class ScriptErrorTest : public ScriptFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ScriptErrorTest, NamesTheFaultWithLineAndColumn) {
    const ErrorCase& c = GetParam();
    EScriptError error = RunFailing(c.Source);
    EXPECT_EQ(error.Line(), c.Line) << error.Message();
    EXPECT_EQ(error.Column(), c.Column) << error.Message();
    EXPECT_NE(error.Message().find(c.Text), std::string::npos) << error.Message();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScriptErrorTest,
    ::testing::Values(
        ErrorCase{"UnknownName", "begin\n  Print(Missing)\nend.", 2, 9, "Unknown identifier 'Missing'"},
        ErrorCase{"UnknownCall", "begin\n  Nothing(1, 2)\nend.", 2, 3, "Unknown identifier 'Nothing'"},
        ErrorCase{"AssignToUndeclared", "begin\n  x := 1\nend.", 2, 3, "Undeclared identifier: 'x'"},
        ErrorCase{"HostArgumentCount", "begin\n  Print(1, 2)\nend.", 2, 3,
                  "Wrong number of arguments for 'Print': expected 1, got 2"},
        ErrorCase{"ScriptArgumentCount", "procedure P(a: Integer); begin end;\nbegin\n  P\nend.", 3, 3,
                  "expected 1, got 0"},
        ErrorCase{"VarArgumentNeedsVariable", "procedure P(var a: Integer); begin end;\nbegin P(1 + 2) end.",
                  2, 11, "Variable required"},
        ErrorCase{"MissingSemicolon", "begin\n  Print(1)\n  Print(2)\nend.", 3, 3, "';' expected"},
        ErrorCase{"UnterminatedString", "begin\n  Print('abc)\nend.", 2, 9, "Unterminated string"},
        ErrorCase{"BreakOutsideLoop", "begin\n  break\nend.", 2, 3, "outside of a loop"},
        ErrorCase{"Redeclared", "var a: Integer;\n    a: string;\nbegin end.", 2, 5, "redeclared"},
        ErrorCase{"MissingFinalDot", "begin end", 1, 10, "'.' expected"},
        ErrorCase{"IllegalCharacter", "begin\n  Print(1 ? 2)\nend.", 2, 11, "Illegal character '?'"},
        ErrorCase{"ForwardNeverDefined", "procedure P; forward;\nbegin end.", 1, 11, "forward"},
        ErrorCase{"MemberOnNonObject", "var i: Integer;\nbegin\n  i.Foo\nend.", 3, 5, "needs an object"},
        ErrorCase{"ReversedArrayBounds", "var a: array[5..1] of Integer;\nbegin end.", 1, 14,
                  "Array bounds out of range"},
        ErrorCase{"WrongCountOfInitialValues", "const A: array[1..3] of Integer = (1, 2);\nbegin end.", 1, 35,
                  "Expected 3 values, got 2"},
        ErrorCase{"ElementOfAValueForVar",
                  "function F: Variant; begin end;\nprocedure P(var x: Integer); begin end;\nbegin\n  "
                  "P(F[0])\nend.",
                  4, 6, "Variable required"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kalmora::test
