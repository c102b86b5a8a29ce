// Tests of the number conversions and the standard error descriptions.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Convert.h"
#include "core/RuntimeError.h"

using namespace vorlane;

namespace {

const NumberFormat kEnglish{L'.', L','};
const NumberFormat kGerman{L',', L'.'};

int32_t errorNumberOf(auto&& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(Convert, WholeNumbersRoundHalvesToEven) {
    EXPECT_EQ(toInt16(2.5), 2);
    EXPECT_EQ(toInt16(3.5), 4);
    EXPECT_EQ(toInt16(-2.5), -2);
    EXPECT_EQ(toInt16(-3.5), -4);
    EXPECT_EQ(toInt16(0.5), 0);
    EXPECT_EQ(toInt16(1.5), 2);
    EXPECT_EQ(toInt16(2.5000001), 3);
    EXPECT_EQ(toInt32(9.5), 10);
    EXPECT_EQ(toInt32(500.4), 500);
    EXPECT_EQ(toInt32(43200000.0), 43200000);
}

TEST(Convert, WholeNumbersOutOfRangeRaiseOverflow) {
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(toInt16(-32768.5), -32768);  // halves to the even neighbour, still in range
    EXPECT_EQ(errorNumberOf([] { toInt16(32767.5); }), errnum::Overflow);
    EXPECT_EQ(errorNumberOf([] { toInt16(-32769.0); }), errnum::Overflow);
    EXPECT_EQ(errorNumberOf([] { toInt32(2147483647.5); }), errnum::Overflow);
    EXPECT_EQ(errorNumberOf([] { toInt32(std::nan("")); }), errnum::Overflow);
    EXPECT_EQ(errorNumberOf([] { toInt32(INFINITY); }), errnum::Overflow);
}

TEST(Convert, NumericTextAsTheUserTypesIt) {
    EXPECT_EQ(parseNumber(L"3", kEnglish), 3.0);
    EXPECT_EQ(parseNumber(L"  -12.5 ", kEnglish), -12.5);
    EXPECT_EQ(parseNumber(L"+7", kEnglish), 7.0);
    EXPECT_EQ(parseNumber(L".5", kEnglish), 0.5);
    EXPECT_EQ(parseNumber(L"5.", kEnglish), 5.0);
    EXPECT_EQ(parseNumber(L"1,000", kEnglish), 1000.0);
    EXPECT_EQ(parseNumber(L"1e3", kEnglish), 1000.0);
    EXPECT_EQ(parseNumber(L"2,5", kGerman), 2.5);
    EXPECT_EQ(parseNumber(L"1.000,25", kGerman), 1000.25);
    EXPECT_EQ(parseNumber(L"2.5", kGerman), 25.0);  // the dot groups digits there
}

TEST(Convert, TextThatIsNotANumber) {
    for (const wchar_t* text : {L"", L"   ", L"+", L"-", L".", L"abc", L"1+2", L"12a", L"1e", L"1 2", L",5", L"--1", L"0x10"})
        EXPECT_FALSE(isNumeric(text, kEnglish)) << "accepted: \"" << std::wstring(text).size() << "\"";
    EXPECT_FALSE(isNumeric(L"1,5,", kGerman));  // one decimal separator, and digits around it
    EXPECT_EQ(errorNumberOf([] { toDouble(L"abc", kEnglish); }), errnum::TypeMismatch);
    EXPECT_EQ(errorNumberOf([] { toInt16(L"", kEnglish); }), errnum::TypeMismatch);
    EXPECT_EQ(errorNumberOf([] { toInt16(L"40000", kEnglish); }), errnum::Overflow);
}

TEST(Convert, TextTooLargeForADoubleIsNoNumberAndConvertsToNone) {
    const std::wstring manyDigits(400, L'9');
    for (const std::wstring& text : {std::wstring(L"1e400"), std::wstring(L"-1e400"), std::wstring(L"1e999"),
                                     std::wstring(L"+1.5E+309"), manyDigits, L"-" + manyDigits + L".5"}) {
        SCOPED_TRACE(testing::PrintToString(text.substr(0, 12)));
        EXPECT_FALSE(isNumeric(text, kEnglish));
        EXPECT_EQ(errorNumberOf([&] { toDouble(text, kEnglish); }), errnum::TypeMismatch);
    }
    // Too small to tell from zero is zero, not a failure.
    EXPECT_EQ(parseNumber(L"1e-400", kEnglish), 0.0);
    EXPECT_EQ(parseNumber(L"1e308", kEnglish), 1e308);
}

TEST(Convert, NumbersToText) {
    EXPECT_EQ(numberText(1.33333, kEnglish), L"1.33333");
    EXPECT_EQ(numberText(1.33333, kGerman), L"1,33333");
    EXPECT_EQ(numberText(1.33333f, kEnglish), L"1.33333");
    EXPECT_EQ(numberText(1.77778f, kEnglish), L"1.77778");
    EXPECT_EQ(numberText(3.0, kEnglish), L"3");
    EXPECT_EQ(numberText(-0.25, kEnglish), L"-0.25");
    EXPECT_EQ(numberText(0.1, kEnglish), L"0.1");
    EXPECT_EQ(numberText(int32_t{-42}), L"-42");
}

TEST(Convert, UserFormatRoundTrips) {
    const NumberFormat& user = userNumberFormat();
    EXPECT_NE(user.decimalSeparator, user.groupSeparator);
    EXPECT_EQ(toDouble(numberText(2.75)), 2.75);
}

TEST(RuntimeError, StandardDescriptions) {
    EXPECT_EQ(standardErrorText(6), L"Overflow");
    EXPECT_EQ(standardErrorText(7), L"Out of memory");
    EXPECT_EQ(standardErrorText(13), L"Type mismatch");
    EXPECT_EQ(standardErrorText(53), L"File not found");
    EXPECT_EQ(standardErrorText(457), L"This key is already associated with an element of this collection");
    EXPECT_EQ(standardErrorText(31337), L"Application-defined or object-defined error");

    try {
        raiseError(53, L"modMD5.GetFileMD5");
        FAIL() << "raiseError returned";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_EQ(e.description(), L"File not found");
        EXPECT_EQ(e.source(), L"modMD5.GetFileMD5");
        EXPECT_STREQ(e.what(), "[53] File not found");
    }
}
