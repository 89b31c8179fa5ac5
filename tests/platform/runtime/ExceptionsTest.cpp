#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace kalmora;

TEST(Exceptions, AssertionNamesTextUnitAndLine) {
    try {
        Assert(false, "UtilBox");
        FAIL();
    } catch (const EAssertionFailed& e) {
        const int line = __LINE__ - 3;
        EXPECT_EQ(e.Message(), "Assertion fehlges (UtilBox, Zeile " + std::to_string(line) + ")");
        EXPECT_EQ(e.ClassName(), "EAssertionFailed");
    }
    EXPECT_NO_THROW(Assert(true, "UtilBox"));
}

TEST(Exceptions, ClassNamesFollowTheHierarchy) {
    EZeroDivide zero("x");
    const EMathError& math = zero;
    EXPECT_EQ(math.ClassName(), "EZeroDivide");
    EXPECT_EQ(ExceptionClassName(std::runtime_error("y")), "Exception");
    EXPECT_EQ(ExceptionClassName(EAbort()), "EAbort");
    auto described =
        DescribeException(std::make_exception_ptr(EInOutError::FromErrno("Cannot open", "/x", ENOENT)));
    EXPECT_EQ(described.className, "EInOutError");
    EXPECT_EQ(described.message, "Cannot open \"/x\": No such file or directory");
}
