// The sample's question: read it, answer it either way, refuse a button it
// does not have.
#include "sample_fixture.h"
#include "sample_ids.h"
#include "sample_texts.h"

namespace selftest {
namespace {

class MessageBoxTest : public SampleTest {
protected:
    // Types the name, clicks the button and waits for the question.
    std::optional<gui::MessageBoxView> Ask(const std::wstring& name)
    {
        EXPECT_TRUE(gui::SetControlText(m_Dialog, IDC_NAME_EDIT, name));
        EXPECT_TRUE(gui::ClickButton(m_Dialog, IDC_ASK_BUTTON));
        return gui::WaitForMessageBox(m_Program.Id());
    }
};

TEST_F(MessageBoxTest, ReadsTheQuestionAndAnswersEitherWay)
{
    struct Case {
        int button;
        const wchar_t* name;
        std::wstring status;
    } cases[] = {
        {IDOK, L"照片库", sample::kStatusSaved + std::wstring(L"照片库")},
        {IDCANCEL, L"工作资料", sample::kStatusNotSaved},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const auto box = Ask(c.name);
        ASSERT_TRUE(box) << gui::DescribeWindows(gui::TopLevelWindows());
        EXPECT_EQ(box->caption, sample::kQuestionCaption);
        EXPECT_EQ(box->text, sample::kQuestionPrefix + std::wstring(c.name) + sample::kQuestionSuffix);
        EXPECT_EQ(box->ButtonIds(), (std::vector<int>{IDOK, IDCANCEL}));
        // Wine's own texts, in the prefix's Chinese locale.
        ASSERT_EQ(box->buttons.size(), 2u);
        EXPECT_EQ(box->buttons[0].text, L"确定");
        EXPECT_EQ(box->buttons[1].text, L"取消");
        if (c.button == IDOK) {
            Screenshot("sample-message-box");
        }
        ASSERT_TRUE(gui::AnswerMessageBox(*box, c.button));
        EXPECT_TRUE(StatusBecomes(c.status));
    }
}

TEST_F(MessageBoxTest, RefusesAButtonTheBoxDoesNotHave)
{
    const auto box = Ask(L"名称");
    ASSERT_TRUE(box);
    for (int button : {IDYES, IDNO, IDABORT}) {
        SCOPED_TRACE(button);
        EXPECT_FALSE(gui::AnswerMessageBox(*box, button));
    }
    EXPECT_TRUE(IsWindowVisible(box->window));
    EXPECT_EQ(Status(), sample::kStatusReady);
    ASSERT_TRUE(gui::AnswerMessageBox(*box, IDCANCEL));
    EXPECT_TRUE(StatusBecomes(sample::kStatusNotSaved));
}

TEST_F(MessageBoxTest, ADialogWithoutMessageTextIsNoMessageBox)
{
    EXPECT_FALSE(gui::ReadMessageBox(m_Dialog).has_value());
    EXPECT_FALSE(gui::ReadMessageBox(nullptr).has_value());
    EXPECT_FALSE(gui::WaitForMessageBox(m_Program.Id(), 300).has_value());
}

}  // namespace
}  // namespace selftest
