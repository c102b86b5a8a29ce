// Tests of the trapping convention: the report and the result a procedure held.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "core/RuntimeError.h"
#include "core/Trap.h"
#include "tests/support/ErrorCapture.h"

using namespace vorlane;
using vorlane::test::ErrorCapture;

namespace {

// A procedure written the way the program's trapping procedures are: the result
// it held when the error struck is what it returns.
int halfDone(bool fail) {
    int result = 0;
    runTrapped(L"halfDone", L"modSample", [&] {
        result = 1;
        if (fail) raiseError(errnum::TypeMismatch);
        result = 2;
    });
    return result;
}

}  // namespace

TEST(Trap, ReportsLocationNumberAndDescriptionAndKeepsTheHeldResult) {
    ErrorCapture capture;
    EXPECT_EQ(halfDone(false), 2);
    EXPECT_TRUE(capture.empty());

    EXPECT_EQ(halfDone(true), 1);
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(capture.reports()[0].where, L"Function halfDone, modSample");
    EXPECT_EQ(capture.reports()[0].number, 13);
    EXPECT_EQ(capture.reports()[0].description, L"Type mismatch");
}

TEST(Trap, LanguageFailuresBecomeRunTimeErrors) {
    ErrorCapture capture;
    EXPECT_FALSE(runTrapped(L"a", L"m", [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(runTrapped(L"b", L"m", [] { throw std::out_of_range("index"); }));
    EXPECT_FALSE(runTrapped(L"c", L"m", [] { throw 42; }));
    EXPECT_FALSE(runTrappedAt(L"Sub Form_MouseMove, frmPopupMenu", [] { raiseError(5); }));
    ASSERT_EQ(capture.reports().size(), 4u);
    EXPECT_EQ(capture.reports()[0].number, 7);
    EXPECT_EQ(capture.reports()[0].description, L"Out of memory");
    EXPECT_EQ(capture.reports()[1].number, 9);
    EXPECT_EQ(capture.reports()[2].number, 51);
    EXPECT_EQ(capture.reports()[3].where, L"Sub Form_MouseMove, frmPopupMenu");
}

TEST(Trap, AFailingReporterDoesNotEscape) {
    ErrorCapture outer;
    const ErrorReporter previous = setErrorReporter([](const std::wstring&, int32_t, const std::wstring&) {
        throw std::runtime_error("reporter broke");
    });
    EXPECT_FALSE(runTrapped(L"x", L"m", [] { raiseError(6); }));
    setErrorReporter(previous);
    EXPECT_TRUE(outer.empty());
}

TEST(Trap, CaptureRestoresThePreviousReporter) {
    ErrorCapture outer;
    {
        ErrorCapture inner;
        runTrapped(L"x", L"m", [] { raiseError(6); });
        EXPECT_EQ(inner.reports().size(), 1u);
    }
    runTrapped(L"y", L"m", [] { raiseError(6); });
    ASSERT_EQ(outer.reports().size(), 1u);
    EXPECT_EQ(outer.reports()[0].where, L"Function y, m");
}
