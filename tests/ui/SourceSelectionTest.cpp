// The main window's picture sources: the tabs, the member option, the tag rule
// and the gallery and category boxes with their validation.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/ui/MemberFixture.h"
#include "ui/frmOptions.h"
#include "ui/modGlobals.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace vorlane::ui;

namespace {

const wchar_t* kTooLongText =
    L"A tag can only be a maximum of 64 characters long.  Please double-check your tag exists on Quorvex, then try "
    L"again.";
const wchar_t* kInvalidCharacterText =
    L"Oops! A tag can only contain letters, numbers, dashes, spaces, and wildcard characters (*).\r\n\r\nTo enter "
    L"multiple tags, seperate them with a comma.";

class SourceSelection : public MemberFixture {
protected:
    void SetUp() override {
        MemberFixture::SetUp();
        noMatchingWallpapers = true;
    }

    FrmMain& main = frmMain();
};

// ---- the tag rule

class TagRule : public SourceSelection {
protected:
    // The tag tab in front, the member typing into the tag box.
    void SetUp() override {
        SourceSelection::SetUp();
        toggleSourceTabs(1);
        showWithFocus(main);
    }

    bool check(const std::wstring& tag) {
        main.txtTagName.setText(tag);
        return main.validateTagName();
    }
};

TEST_F(TagRule, SixtyFourCharactersPassAndAreSavedSixtyFiveAreTooLong) {
    const std::wstring longest(64, L'x');
    EXPECT_TRUE(check(longest));
    EXPECT_EQ(main.lastValidTag, longest);
    EXPECT_EQ(stored(L"TagName"), longest);
    EXPECT_FALSE(noMatchingWallpapers);
    EXPECT_EQ(dialogs.count(), 0u);

    noMatchingWallpapers = true;
    EXPECT_FALSE(check(std::wstring(65, L'y')));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Tag Too Long");
    EXPECT_EQ(dialogs.seen()[0].text, kTooLongText);
    // The box shows the last tag that passed, the caret after it.
    EXPECT_EQ(main.txtTagName.Text(), longest);
    EXPECT_TRUE(hasFocus(main.txtTagName.hwnd()));
    EXPECT_EQ(main.txtTagName.SelStart(), 64);
    EXPECT_EQ(main.txtTagName.SelLength(), 0);
    EXPECT_EQ(main.lastValidTag, longest);
    EXPECT_EQ(stored(L"TagName"), longest);
    EXPECT_TRUE(noMatchingWallpapers);
}

TEST_F(TagRule, TheCharactersOfTheRuleAndNoOthers) {
    for (const wchar_t* tag : {L"dog*", L"golden retriever, b*ball", L"   ", L",,,"}) {
        EXPECT_TRUE(check(tag));
        EXPECT_EQ(stored(L"TagName"), tag);
    }
    ASSERT_TRUE(check(L"cats"));
    EXPECT_EQ(dialogs.count(), 0u);

    const std::vector<std::wstring> refused{L"dogs.", L"golden_retriever", L"Grüße"};
    for (const std::wstring& tag : refused) {
        EXPECT_FALSE(check(tag));
        EXPECT_EQ(main.txtTagName.Text(), L"cats");
        EXPECT_TRUE(hasFocus(main.txtTagName.hwnd()));
        EXPECT_EQ(main.txtTagName.SelStart(), 4);
    }
    ASSERT_EQ(dialogs.count(), refused.size());
    for (const SeenDialog& seen : dialogs.seen()) {
        EXPECT_EQ(seen.title, L"Invalid Character");
        EXPECT_EQ(seen.text, kInvalidCharacterText);
    }
    EXPECT_EQ(stored(L"TagName"), L"cats");
    EXPECT_EQ(main.lastValidTag, L"cats");
}

TEST_F(TagRule, BeforeAnyTagHasPassedAFailingTagEmptiesTheBox) {
    EXPECT_FALSE(check(L"no_underscores"));
    EXPECT_EQ(main.txtTagName.Text(), L"");
    EXPECT_EQ(main.lastValidTag, L"");
    EXPECT_EQ(stored(L"TagName"), L"<absent>");
}

TEST_F(TagRule, AnEmptyTagIsAskedForWithoutTakingTheFocus) {
    ASSERT_TRUE(check(L"cats"));
    SetFocus(main.hwnd());
    EXPECT_FALSE(check(L""));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Vorlane Tag Error");
    EXPECT_EQ(dialogs.seen()[0].text, L"Please enter one or more tags that you would like to use!");
    EXPECT_EQ(main.txtTagName.Text(), L"");  // not put back
    EXPECT_FALSE(hasFocus(main.txtTagName.hwnd()));
    EXPECT_EQ(stored(L"TagName"), L"cats");
}

TEST_F(TagRule, WhileTheWindowIsHiddenTheFocusStaysWhereItIs) {
    main.Hide();
    EXPECT_FALSE(check(std::wstring(70, L'z')));
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(main.txtTagName.Text(), L"");
    EXPECT_FALSE(hasFocus(main.txtTagName.hwnd()));
}

// ---- the tabs

TEST_F(SourceSelection, ATabSwapsItsPicturesOnceAndShowsOnlyItsPage) {
    ShowWindow(main.hwnd(), SW_SHOWNA);  // so that what the member sees can be told
    toggleSourceTabs(1);
    EXPECT_EQ(main.picSourceTabs[1].Tag, L"A");
    EXPECT_EQ(main.picSourceTabs[1].Picture(), Art::TabTagsActive);
    EXPECT_EQ(main.picSourceTabsAlt[1].Picture(), Art::TabTags);
    EXPECT_EQ(main.picSourceTabs[1].mousePointer(), MousePointer::Default);
    for (int other : {0, 2}) {
        EXPECT_EQ(main.picSourceTabs[other].Tag, L"U");
        EXPECT_EQ(main.picSourceTabs[other].mousePointer(), MousePointer::Custom);
        EXPECT_FALSE(main.frmSourceTabs[other].Visible());
    }
    EXPECT_EQ(main.picSourceTabs[0].Picture(), Art::TabMembers);
    EXPECT_EQ(main.picSourceTabsAlt[0].Picture(), Art::TabMembersActive);
    EXPECT_TRUE(main.frmSourceTabs[1].Visible());
    EXPECT_TRUE(IsWindowVisible(main.frmSourceTabs[1].hwnd()));
    EXPECT_EQ(activeSourceTab, 1);
    EXPECT_EQ(stored(L"ActiveTab"), L"1");
    EXPECT_FALSE(noMatchingWallpapers);

    // Clicked again: the pictures stay, the choice is saved again.
    forget(L"ActiveTab");
    noMatchingWallpapers = true;
    click(main.picSourceTabs[1].hwnd());
    EXPECT_EQ(main.picSourceTabs[1].Picture(), Art::TabTagsActive);
    EXPECT_EQ(main.picSourceTabsAlt[1].Picture(), Art::TabTags);
    EXPECT_EQ(stored(L"ActiveTab"), L"1");
    EXPECT_FALSE(noMatchingWallpapers);

    // Another tab: the first one swaps back.
    click(main.picSourceTabs[2].hwnd());
    EXPECT_EQ(main.picSourceTabs[1].Tag, L"U");
    EXPECT_EQ(main.picSourceTabs[1].Picture(), Art::TabTags);
    EXPECT_EQ(main.picSourceTabsAlt[1].Picture(), Art::TabTagsActive);
    EXPECT_EQ(main.picSourceTabs[1].mousePointer(), MousePointer::Custom);
    EXPECT_EQ(main.picSourceTabs[2].Picture(), Art::TabCategoryActive);
    EXPECT_TRUE(main.frmSourceTabs[2].Visible());
    EXPECT_FALSE(main.frmSourceTabs[1].Visible());
    EXPECT_EQ(activeSourceTab, 2);
    EXPECT_EQ(stored(L"ActiveTab"), L"2");
}

TEST_F(SourceSelection, AnIndexOutsideTheTabsSelectsNoneAndKeepsTheSource) {
    toggleSourceTabs(2);
    toggleSourceTabs(7);
    for (int tab = 0; tab < 3; ++tab) {
        EXPECT_EQ(main.picSourceTabs[tab].Tag, L"U");
        EXPECT_FALSE(main.frmSourceTabs[tab].Visible());
    }
    EXPECT_EQ(main.picSourceTabs[2].Picture(), Art::TabCategory);
    EXPECT_EQ(activeSourceTab, 2);
    EXPECT_EQ(stored(L"ActiveTab"), L"7");
    EXPECT_TRUE(errors.empty());
}

TEST_F(SourceSelection, TheMemberOptionIsSavedWhenPicked) {
    toggleSourceTabs(0);
    showWithFocus(main);
    SendMessageW(main.optMemberUploads.hwnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(main.optMemberUploads.Value());
    EXPECT_EQ(stored(L"UseMembers"), L"Uploads");
    EXPECT_FALSE(noMatchingWallpapers);

    noMatchingWallpapers = true;
    main.optMemberFavorites.setValue(true);  // as the login sets it
    EXPECT_EQ(stored(L"UseMembers"), L"Favorites");
    EXPECT_FALSE(noMatchingWallpapers);
}

// ---- the gallery and category boxes

class GalleryBoxes : public SourceSelection {
protected:
    void SetUp() override {
        SourceSelection::SetUp();
        galleries.clear();
        Galleries::Entry& animals = galleries.add(L"Animals");
        animals = {L"Animals", L"Cats", L"Dogs"};
        Galleries::Entry& space = galleries.add(L"Space");
        space = {L"Space", L"Nebulae"};
        selectedGallery = L"Animals";
        selectedCategory = L"Dogs";
        updateCategoryList();
        toggleSourceTabs(2);
        showWithFocus(main);
        main.cboGallery.setFocus();
        noMatchingWallpapers = true;
    }

    static std::vector<std::wstring> items(const ComboBox& box) {
        std::vector<std::wstring> list;
        for (int i = 0; i < box.ListCount(); ++i) list.push_back(box.List(i));
        return list;
    }

    static HWND editOf(const ComboBox& box) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        GetComboBoxInfo(box.hwnd(), &info);
        return info.hwndItem;
    }

    // A key typed into the box's edit field, as the message loop delivers it.
    static void type(const ComboBox& box, WPARAM key, wchar_t character) {
        const HWND edit = editOf(box);
        SendMessageW(edit, WM_KEYDOWN, key, 1);
        if (character) SendMessageW(edit, WM_CHAR, character, 1);
        SendMessageW(edit, WM_KEYUP, key, 0xC0000001);
    }

    // An item picked from the drop-down list with the mouse.
    void pick(ComboBox& box, int index) {
        SendMessageW(box.hwnd(), CB_SETCURSEL, index, 0);
        SendMessageW(GetParent(box.hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box.hwnd()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box.hwnd()));
    }

    // Lets a refused focus move come back.
    static void settle() { pumpFor(std::chrono::milliseconds(50)); }
};

TEST_F(GalleryBoxes, TypingChangesNeitherBox) {
    ASSERT_TRUE(hasFocus(main.cboGallery.hwnd()));
    type(main.cboGallery, 'Q', L'q');
    type(main.cboGallery, VK_BACK, L'\b');
    type(main.cboGallery, VK_DOWN, 0);
    EXPECT_EQ(main.cboGallery.Text(), L"Animals");
    EXPECT_FALSE(main.cboGallery.Locked());
    EXPECT_EQ(main.cboCategory.Text(), L"Dogs");  // the gallery did not change

    main.cboCategory.setFocus();
    type(main.cboCategory, 'Z', L'z');
    type(main.cboCategory, VK_UP, 0);
    EXPECT_EQ(main.cboCategory.Text(), L"Dogs");
    EXPECT_FALSE(main.cboCategory.Locked());

    // Without the key going down first the field would take the character.
    SendMessageW(editOf(main.cboCategory), WM_CHAR, L'z', 1);
    EXPECT_NE(main.cboCategory.Text(), L"Dogs");
}

TEST_F(GalleryBoxes, PickingAnotherGalleryResetsTheCategoryAndLeavingRefillsAndSaves) {
    pick(main.cboGallery, 2);
    EXPECT_EQ(main.cboGallery.Text(), L"Space");
    EXPECT_EQ(main.cboCategory.Text(), L"All Categories");
    EXPECT_EQ(selectedCategory, L"All Categories");
    EXPECT_EQ(selectedGallery, L"Animals");
    EXPECT_EQ(stored(L"Gallery"), L"<absent>");

    main.cboCategory.setFocus();  // the focus leaves the gallery box
    settle();
    EXPECT_TRUE(hasFocus(main.cboCategory.hwnd()));
    EXPECT_EQ(selectedGallery, L"Space");
    EXPECT_EQ(items(main.cboCategory), (std::vector<std::wstring>{L"All Categories", L"Nebulae"}));
    EXPECT_EQ(main.cboCategory.Text(), L"All Categories");
    EXPECT_EQ(stored(L"Gallery"), L"Space");
    EXPECT_FALSE(noMatchingWallpapers);

    main.cboGallery.setFocus();  // and leaves the category box
    settle();
    EXPECT_EQ(stored(L"Category"), L"All Categories");
}

// The gallery and its category are saved as a pair: a member who picks another
// gallery and goes on without passing through the category box finds that
// gallery with all its categories at the next login, not the old category.
TEST_F(GalleryBoxes, AnotherGalleryIsSavedWithTheCategoryItWentBackTo) {
    store(L"Category", L"Dogs");
    pick(main.cboGallery, 2);
    ASSERT_TRUE(main.cboGallery.mayLoseFocus());
    EXPECT_EQ(stored(L"Gallery"), L"Space");
    EXPECT_EQ(stored(L"Category"), L"All Categories");
}

// A saved category that the listed gallery does not hold (the pair above as
// older saves left it) reads as all of the gallery's categories.
TEST_F(GalleryBoxes, ACategoryOfAnotherGalleryReadsAsAllCategories) {
    store(L"Gallery", L"Space");
    store(L"Category", L"Dogs");
    selectedGallery = L"Space";
    selectedCategory = L"Dogs";
    updateCategoryList();
    EXPECT_EQ(main.cboCategory.Text(), L"All Categories");
    EXPECT_EQ(selectedCategory, L"All Categories");
    EXPECT_EQ(main.categoryInEffect(), L"All Categories");
    EXPECT_TRUE(errors.empty());
}

TEST_F(GalleryBoxes, LeavingWithTheSameGallerySavesItWithoutRefilling) {
    main.cboCategory.setText(L"Cats");  // as if picked, not yet validated
    main.cboCategory.setFocus();
    settle();
    EXPECT_EQ(stored(L"Gallery"), L"Animals");
    EXPECT_EQ(main.cboCategory.Text(), L"Cats");  // a refill would show the selected category
    main.cboGallery.setFocus();
    settle();
    EXPECT_EQ(stored(L"Category"), L"Cats");
}

TEST_F(GalleryBoxes, ATextThatIsNoListItemIsPutBackAndKeepsTheFocus) {
    SetWindowTextW(editOf(main.cboGallery), L"Plants");  // pasted with the mouse
    main.cboCategory.setFocus();
    settle();
    EXPECT_EQ(main.cboGallery.Text(), L"Animals");
    EXPECT_TRUE(hasFocus(main.cboGallery.hwnd()));
    EXPECT_EQ(stored(L"Gallery"), L"<absent>");
    EXPECT_EQ(stored(L"Category"), L"<absent>");  // the category box was only passed through
    EXPECT_TRUE(noMatchingWallpapers);

    main.cboCategory.setFocus();
    settle();
    SetWindowTextW(editOf(main.cboCategory), L"Birds");
    main.cboGallery.setFocus();
    settle();
    EXPECT_EQ(main.cboCategory.Text(), L"Dogs");
    EXPECT_TRUE(hasFocus(main.cboCategory.hwnd()));
    EXPECT_EQ(stored(L"Category"), L"<absent>");
}

TEST_F(GalleryBoxes, APressOnAPictureWhileTheTextIsRefusedDoesNothing) {
    SetWindowTextW(editOf(main.cboGallery), L"Plants");
    click(main.picSourceTabs[0].hwnd());
    settle();
    EXPECT_EQ(activeSourceTab, 2);
    EXPECT_EQ(main.picSourceTabs[0].Tag, L"U");
    EXPECT_TRUE(hasFocus(main.cboGallery.hwnd()));

    // With a listed text the press goes through, and the gallery is saved on the way.
    click(main.picSourceTabs[0].hwnd());
    EXPECT_EQ(activeSourceTab, 0);
    EXPECT_EQ(stored(L"Gallery"), L"Animals");
}

TEST_F(GalleryBoxes, TheTabKeyValidatesToo) {
    SetWindowTextW(editOf(main.cboGallery), L"Plants");
    MSG tab{editOf(main.cboGallery), WM_KEYDOWN, VK_TAB, 1, 0, {}};
    ASSERT_TRUE(translateFormMessage(tab));
    settle();
    EXPECT_EQ(main.cboGallery.Text(), L"Animals");
    EXPECT_TRUE(hasFocus(main.cboGallery.hwnd()));
}

// The Return key presses Save and Minimize as a click on it does: the box the
// focus is in is checked first, so a pasted text never goes out as a source.
TEST_F(GalleryBoxes, TheReturnKeyChecksTheBoxFirst) {
    SetWindowTextW(editOf(main.cboGallery), L"Plants");
    MSG enter{editOf(main.cboGallery), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    ASSERT_TRUE(translateFormMessage(enter));
    settle();
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.cboGallery.Text(), L"Animals");
    EXPECT_TRUE(hasFocus(main.cboGallery.hwnd()));

    // A listed text passes, is saved, and the window goes to the tray.
    pick(main.cboGallery, 2);
    ASSERT_TRUE(translateFormMessage(enter));
    EXPECT_EQ(stored(L"Gallery"), L"Space");
    EXPECT_FALSE(main.Visible());
}

TEST_F(GalleryBoxes, GoingToAnotherWindowIsNotValidated) {
    SetWindowTextW(editOf(main.cboGallery), L"Plants");
    showWithFocus(frmOptions());
    settle();
    EXPECT_EQ(main.cboGallery.Text(), L"Plants");
    EXPECT_EQ(stored(L"Gallery"), L"<absent>");
    frmOptions().Hide();
}

TEST_F(GalleryBoxes, ASavedGalleryTheServiceNoLongerListsLeavesTheBoxesUsable) {
    selectedGallery = L"Retired";
    selectedCategory = L"Old Stuff";
    updateCategoryList();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(items(main.cboGallery), (std::vector<std::wstring>{L"All Galleries", L"Animals", L"Space"}));
    EXPECT_EQ(main.cboGallery.Text(), L"Retired");
    EXPECT_EQ(items(main.cboCategory), std::vector<std::wstring>{L"All Categories"});
    EXPECT_EQ(main.cboCategory.Text(), L"Old Stuff");
    EXPECT_TRUE(main.cboGallery.Enabled());
    EXPECT_TRUE(main.cboCategory.Enabled());

    // The member picks another one.
    pick(main.cboGallery, 1);
    main.cboCategory.setFocus();
    settle();
    EXPECT_EQ(stored(L"Gallery"), L"Animals");
    EXPECT_EQ(items(main.cboCategory), (std::vector<std::wstring>{L"All Categories", L"Cats", L"Dogs"}));
}

}  // namespace
