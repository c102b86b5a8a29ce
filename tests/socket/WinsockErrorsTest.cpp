// Tests of the Winsock error texts and conversions.
#include <gtest/gtest.h>

#include "core/RuntimeError.h"
#include "socket/WinsockErrors.h"

using namespace vorlane;

TEST(WinsockErrors, TextsByNumber) {
    EXPECT_EQ(WinsockErrorText(10035), L"Resource temporarily unavailable.");
    EXPECT_EQ(WinsockErrorText(10004), L"Interrupted function call.");
    EXPECT_EQ(WinsockErrorText(10061), L"Connection refused.");
    EXPECT_EQ(WinsockErrorText(11004), L"Valid name, no data record of requested type.");
    for (int32_t unknown : {10059, 0, -1, 10000, 11005})
        EXPECT_EQ(WinsockErrorText(unknown), L"Unknown error.") << unknown;
}

TEST(WinsockErrors, RaisedWithTextAndSource) {
    try {
        raiseWinsockError(10054, L"CSocketMaster.PostSocket");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 10054);
        EXPECT_EQ(e.description(), L"Connection reset by peer.");
        EXPECT_EQ(e.source(), L"CSocketMaster.PostSocket");
    }
}

TEST(WinsockErrors, WordsAndPorts) {
    EXPECT_EQ(HighWord(-1), 65535);
    EXPECT_EQ(LowWord(-1), 65535);
    EXPECT_EQ(HighWord(65536), 1);
    EXPECT_EQ(LowWord(65536), 0);
    EXPECT_EQ(PortToShort(80), 80);
    EXPECT_EQ(PortToShort(65535), -1);
    EXPECT_EQ(PortToShort(32768), -32768);
    EXPECT_EQ(ShortToPort(-1), 65535);
    EXPECT_EQ(ShortToPort(-32768), 32768);
    for (int32_t outside : {65536, -1}) {
        try {
            PortToShort(outside);
            FAIL() << outside;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 6);
        }
    }
    EXPECT_EQ(StringFromPointer("127.0.0.1"), L"127.0.0.1");
    EXPECT_EQ(StringFromPointer(nullptr), L"");
}
