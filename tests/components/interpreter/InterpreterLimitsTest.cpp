// No script may hang or crash its host: steps, call depth, nesting, source and text sizes are bounded, and
// reaching a bound ends the run with EScriptError that script handlers cannot swallow.

#include "ScriptTestSupport.h"

namespace kalmora::test {
namespace {

using LimitsTest = ScriptFixture;

TEST_F(LimitsTest, EndlessLoopStopsAtTheStepLimitEvenInsideTryExcept) {
    Program.Limits.MaxSteps = 100000;
    EScriptError error = RunFailing("begin\n  while True do\n    try Fail('x') except end\nend.");
    EXPECT_NE(error.Message().find("steps"), std::string::npos) << error.Message();
    error = RunFailing("begin repeat try finally while True do end until False end.");
    EXPECT_NE(error.Message().find("steps"), std::string::npos) << error.Message();
}

TEST_F(LimitsTest, EndlessRecursionStopsAtTheCallDepth) {
    Program.Limits.MaxCallDepth = 500;
    EScriptError error =
        RunFailing("procedure P; begin\n  try P except Print('swallowed') end end;\nbegin P end.");
    EXPECT_NE(error.Message().find("deeper than 500"), std::string::npos) << error.Message();
    EXPECT_EQ(Output, "");
}

TEST_F(LimitsTest, RecursionBeyondTheStackEndsCleanlyWhateverTheCallDepthLimit) {
    Program.Limits.MaxCallDepth = 100000000;
    EScriptError error = RunFailing("function F(n: Integer): Integer; begin Result := F(n + 1) + 1 end;\n"
                                    "begin F(0) end.");
    EXPECT_NE(error.Message().find("nested"), std::string::npos) << error.Message();
}

TEST_F(LimitsTest, DeepNestingInTheSourceIsRejected) {
    std::string parens = "begin Print(" + std::string(5000, '(') + "1" + std::string(5000, ')') + ") end.";
    EXPECT_NE(RunFailing(parens).Message().find("Nesting"), std::string::npos);
    std::string blocks;
    for (int i = 0; i < 5000; ++i)
        blocks += "begin ";
    EXPECT_NE(RunFailing(blocks).Message().find("Nesting"), std::string::npos);
    std::string chain = "begin Print(1";
    for (int i = 0; i < 20000; ++i)
        chain += " + x";
    EXPECT_NE(RunFailing("var x: Integer; " + chain + ") end.").Message().find("nested deeper"),
              std::string::npos);
    std::string ok = "begin Print(" + std::string(50, '(') + "7" + std::string(50, ')') + ") end.";
    EXPECT_EQ(Run(ok), "7\n");
}

TEST_F(LimitsTest, SourceAndTextSizesAreBounded) {
    Program.Limits.MaxSourceBytes = 64;
    EXPECT_NE(RunFailing("begin " + std::string(100, ' ') + "end.").Message().find("Source larger"),
              std::string::npos);
    Program.Limits.MaxSourceBytes = 1 << 20;
    Program.Limits.MaxStringBytes = 1 << 20;
    EScriptError error = RunFailing("var s: string; begin s := 'ab'; while True do s := s + s end.");
    EXPECT_NE(error.Message().find("Text longer"), std::string::npos) << error.Message();
    error = RunFailing("var s: string; begin s := 'ab'; while True do s := s + 'x' + s end.");
    EXPECT_NE(error.Message().find("Text longer"), std::string::npos) << error.Message();
}

TEST_F(LimitsTest, HugeSetRangesAreRefused) {
    EXPECT_EQ(Run("begin Print(5 in [0..2000000000]) end."), "True\n");
    EXPECT_NE(
        RunFailing("var v: Variant; begin v := [0..2000000000] end.").Message().find("Set range too large"),
        std::string::npos);
    Program.Limits.MaxArrayElements = 100;
    EXPECT_NE(RunFailing("var v: Variant; begin v := [1..101] end.").Message().find("Set range too large"),
              std::string::npos);
    EXPECT_NE(RunFailing("var a: array[0..100] of Integer; begin end.").Message().find("Array bounds"),
              std::string::npos);
    Program.Limits.MaxSteps = 1000;
    EXPECT_NE(RunFailing("var v: Variant; begin v := [1..100]; while True do if 0 in v then end.")
                  .Message()
                  .find("steps"),
              std::string::npos)
        << "searching an array counts as work";
}

} // namespace
} // namespace kalmora::test
