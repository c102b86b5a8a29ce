// Tests of the gallery list's keys and order.
#include <gtest/gtest.h>

#include "core/Galleries.h"
#include "core/RuntimeError.h"

using namespace vorlane;

TEST(Galleries, KeysIgnoreLetterCaseAndKeepReplyOrder) {
    Galleries list;
    list.add(L"Nature").push_back(L"Nature");
    Galleries::Entry& city = list.add(L"Fotograf\u00eda");
    city.push_back(L"Fotograf\u00eda");
    city.push_back(L"Stra\u00dfen");

    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].front(), L"Nature");
    EXPECT_EQ(list[1].back(), L"Stra\u00dfen");
    EXPECT_TRUE(list.contains(L"NATURE"));
    EXPECT_TRUE(list.contains(L"FOTOGRAF\u00cdA"));
    EXPECT_EQ(list.item(L"nature").front(), L"Nature");
    EXPECT_FALSE(list.contains(L"Natur"));
}

TEST(Galleries, DuplicateKeyAndMissingKeyAreErrors) {
    Galleries list;
    list.add(L"Abstract");
    try {
        list.add(L"abstract");
        FAIL() << "a second gallery of the same name was added";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 457);
    }
    EXPECT_EQ(list.size(), 1u);
    EXPECT_THROW(list.item(L"Cars"), RuntimeError);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_NO_THROW(list.add(L"ABSTRACT"));
}
