// Buttons, the edit box and the list box of the sample's dialog.
#include "sample_fixture.h"
#include "sample_ids.h"
#include "sample_texts.h"

namespace selftest {
namespace {

std::vector<std::wstring> SampleVaults()
{
    return std::vector<std::wstring>(std::begin(sample::kVaults), std::end(sample::kVaults));
}

TEST_F(SampleTest, ReadsTheListAndSelectsAsAClickWould)
{
    EXPECT_EQ(gui::ListBoxItems(m_Dialog, IDC_VAULT_LIST), SampleVaults());
    EXPECT_EQ(gui::ListBoxSelection(m_Dialog, IDC_VAULT_LIST), -1);
    EXPECT_EQ(Status(), sample::kStatusReady);

    for (int index : {1, 0, 2}) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(gui::SelectListItem(m_Dialog, IDC_VAULT_LIST, index));
        EXPECT_EQ(gui::ListBoxSelection(m_Dialog, IDC_VAULT_LIST), index);
        EXPECT_TRUE(StatusBecomes(sample::kStatusSelected + std::wstring(sample::kVaults[index])));
    }
}

TEST_F(SampleTest, RefusesItemsTheListDoesNotHave)
{
    ASSERT_TRUE(gui::SelectListItem(m_Dialog, IDC_VAULT_LIST, 1));
    const std::wstring before = Status();
    for (int index : {3, 100}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(gui::SelectListItem(m_Dialog, IDC_VAULT_LIST, index));
        EXPECT_FALSE(gui::DoubleClickListItem(m_Dialog, IDC_VAULT_LIST, index));
    }
    EXPECT_EQ(Status(), before);
    // LB_SETCURSEL with a bad index clears the selection; the program was not told.
    EXPECT_EQ(gui::ListBoxItems(m_Dialog, IDC_VAULT_LIST), SampleVaults());
}

TEST_F(SampleTest, DoubleClickOpensTheItemWithRealMouseInput)
{
    for (int index : {2, 0}) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(gui::DoubleClickListItem(m_Dialog, IDC_VAULT_LIST, index));
        EXPECT_TRUE(StatusBecomes(sample::kStatusOpened + std::wstring(sample::kVaults[index])));
        EXPECT_EQ(gui::ListBoxSelection(m_Dialog, IDC_VAULT_LIST), index);
    }
    Screenshot("sample-list-item-opened");
}

TEST_F(SampleTest, SetsAndReadsTheEditBox)
{
    EXPECT_EQ(gui::ControlText(m_Dialog, IDC_NAME_EDIT), L"");
    for (const wchar_t* text : {L"工作资料 2024", L"", L"a \"quoted\" name"}) {
        SCOPED_TRACE(gui::Utf8(text));
        ASSERT_TRUE(gui::SetControlText(m_Dialog, IDC_NAME_EDIT, text));
        EXPECT_EQ(gui::ControlText(m_Dialog, IDC_NAME_EDIT), text);
    }
}

TEST_F(SampleTest, ClicksThePictureButtonByMessageAndByMouse)
{
    ASSERT_TRUE(gui::ClickButton(m_Dialog, IDC_PICTURE_BUTTON));
    EXPECT_TRUE(StatusBecomes(sample::kStatusPicture + std::wstring(L"1")));
    // The button acts on mouse down and up itself: real input must reach it.
    ASSERT_TRUE(gui::ClickWithMouse(m_Dialog, IDC_PICTURE_BUTTON));
    EXPECT_TRUE(StatusBecomes(sample::kStatusPicture + std::wstring(L"2")));
    Screenshot("sample-picture-button-clicked-twice");
}

TEST_F(SampleTest, NamesTheMissingControl)
{
    const int missing = 4242;
    HWND control = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xdeadbeef));
    const ::testing::AssertionResult found = gui::FindControl(m_Dialog, missing, control);
    EXPECT_FALSE(found);
    EXPECT_EQ(control, nullptr);
    EXPECT_NE(std::string(found.message()).find("4242"), std::string::npos) << found.message();
    EXPECT_FALSE(gui::ClickButton(m_Dialog, missing));
    EXPECT_FALSE(gui::ClickWithMouse(m_Dialog, missing));
    EXPECT_FALSE(gui::SetControlText(m_Dialog, missing, L"x"));
    EXPECT_EQ(gui::ControlText(m_Dialog, missing), L"");
    EXPECT_TRUE(gui::ListBoxItems(m_Dialog, missing).empty());
    EXPECT_EQ(gui::ListBoxSelection(m_Dialog, missing), -1);
    EXPECT_EQ(Status(), sample::kStatusReady);
}

}  // namespace
}  // namespace selftest
