// Tests of the byte layouts of the typed socket values.
#include <gtest/gtest.h>

#include <cmath>

#include "socket/ValueBytes.h"

using namespace vorlane;

namespace {

ByteArray bytesOf(const SocketValue& value) { return valueBytes(value).value(); }

}  // namespace

TEST(ValueBytes, NumbersAreLittleEndianAndBooleanIsAWord) {
    EXPECT_EQ(bytesOf(int16_t{258}), (ByteArray{0x02, 0x01}));
    EXPECT_EQ(bytesOf(int16_t{-2}), (ByteArray{0xFE, 0xFF}));
    EXPECT_EQ(bytesOf(int32_t{0x01020304}), (ByteArray{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(bytesOf(true), (ByteArray{0xFF, 0xFF}));
    EXPECT_EQ(bytesOf(false), (ByteArray{0x00, 0x00}));
    EXPECT_EQ(bytesOf(uint8_t{0xAB}), (ByteArray{0xAB}));
    EXPECT_EQ(bytesOf(1.0f), (ByteArray{0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(bytesOf(1.0), (ByteArray{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    // 1.5 currency units are 15000 ten-thousandths.
    EXPECT_EQ(bytesOf(Currency{15000}), (ByteArray{0x98, 0x3A, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytesOf(OleDate{2.0}), (ByteArray{0, 0, 0, 0, 0, 0, 0, 0x40}));
}

TEST(ValueBytes, TextIsItsAnsiFormAndBytesStayAsTheyAre) {
    EXPECT_EQ(bytesOf(std::wstring(L"GET /\r\n")), (ByteArray{'G', 'E', 'T', ' ', '/', '\r', '\n'}));
    EXPECT_TRUE(bytesOf(std::wstring()).empty());
    const ByteArray raw{0x00, 0xFF, 0x80, 0x0A};
    EXPECT_EQ(bytesOf(raw), raw);
    EXPECT_FALSE(valueBytes(SocketValue{}).has_value());  // the empty value has no layout
}

TEST(ValueBytes, EveryFixedTypeReadsBackWhatWasWritten) {
    const SocketValue values[] = {true,
                                  false,
                                  uint8_t{7},
                                  int16_t{-12345},
                                  int32_t{-7654321},
                                  3.25f,
                                  -1.0e300,
                                  Currency{-9876543210},
                                  OleDate{45000.75}};
    for (const SocketValue& value : values) {
        const VarType type = varTypeOf(value);
        const ByteArray bytes = bytesOf(value);
        ASSERT_EQ(bytes.size(), fixedSizeOf(type)) << int(type);
        EXPECT_EQ(valueFromBytes(type, bytes), value) << int(type);
    }
}

TEST(ValueBytes, SizesAndTypeCodes) {
    EXPECT_EQ(fixedSizeOf(VarType::Boolean), 2u);
    EXPECT_EQ(fixedSizeOf(VarType::Byte), 1u);
    EXPECT_EQ(fixedSizeOf(VarType::Currency), 8u);
    EXPECT_EQ(fixedSizeOf(VarType::Date), 8u);
    EXPECT_EQ(fixedSizeOf(VarType::Single), 4u);
    EXPECT_EQ(fixedSizeOf(VarType::String), 0u);
    EXPECT_EQ(fixedSizeOf(VarType::Bytes), 0u);
    EXPECT_EQ(fixedSizeOf(static_cast<VarType>(9)), 0u);
    EXPECT_EQ(int(varTypeOf(std::wstring())), 8);
    EXPECT_EQ(int(varTypeOf(ByteArray())), 8209);
    EXPECT_EQ(int(varTypeOf(int32_t{})), 3);
    EXPECT_EQ(int(varTypeOf(SocketValue{})), 0);
    // Any bit set reads as True.
    EXPECT_EQ(valueFromBytes(VarType::Boolean, ByteArray{0x01, 0x00}), SocketValue(true));
}
