// How windows stand to each other: Z order, children, parents and owners,
// finding windows by class and title, and visibility.
#include "desktop_fixture.h"

#include <functional>

namespace {

using korvel::test::kUntouchedError;
using korvel::test::Text;

class WindowRelationsTest : public korvel::test::DesktopTest {};

struct Relation {
    const char* label;
    HWND from;
    UINT command;
    HWND expected;
};

void ExpectRelations(const std::vector<Relation>& relations)
{
    for (const Relation& relation : relations) {
        SCOPED_TRACE(relation.label);
        SetLastError(kUntouchedError);
        EXPECT_EQ(GetWindow(relation.from, relation.command), relation.expected);
        EXPECT_EQ(GetLastError(), kUntouchedError);
    }
}

TEST_F(WindowRelationsTest, NewTopLevelWindowsGoToTheTop)
{
    HWND first = CreateTopLevel(L"first");
    HWND second = CreateTopLevel(L"second");
    HWND third = CreateTopLevel(L"third");
    ExpectRelations({
        {"first of any", first, GW_HWNDFIRST, third},
        {"last of any", third, GW_HWNDLAST, first},
        {"below the newest", third, GW_HWNDNEXT, second},
        {"below the middle one", second, GW_HWNDNEXT, first},
        {"below the oldest", first, GW_HWNDNEXT, nullptr},
        {"above the oldest", first, GW_HWNDPREV, second},
        {"above the newest", third, GW_HWNDPREV, nullptr},
        {"no owner", second, GW_OWNER, nullptr},
        {"no child", second, GW_CHILD, nullptr},
    });
    EXPECT_EQ(FindWindowW(kRecordingClass, nullptr), third);
    EXPECT_EQ(FindWindowExW(nullptr, third, kRecordingClass, nullptr), second);
    EXPECT_EQ(FindWindowExW(nullptr, first, kRecordingClass, nullptr), nullptr);
}

TEST_F(WindowRelationsTest, ChildrenKeepTheOrderTheyWereCreatedIn)
{
    HWND parent = CreateTopLevel(L"parent");
    HWND edit = CreateChild(parent, L"Edit");
    HWND label = CreateChild(parent, L"Static");
    HWND combo = CreateChild(parent, L"ComboBoxEx32");
    HWND grandchild = CreateChild(edit, L"Button");
    ExpectRelations({
        {"first child", parent, GW_CHILD, edit},
        {"after the first", edit, GW_HWNDNEXT, label},
        {"after the second", label, GW_HWNDNEXT, combo},
        {"after the last", combo, GW_HWNDNEXT, nullptr},
        {"before the first", edit, GW_HWNDPREV, nullptr},
        {"first sibling", combo, GW_HWNDFIRST, edit},
        {"last sibling", edit, GW_HWNDLAST, combo},
        {"a grandchild is its own parent's child", edit, GW_CHILD, grandchild},
        {"a child has no owner", edit, GW_OWNER, nullptr},
    });

    struct Search {
        const char* label;
        HWND after;
        const wchar_t* className;
        HWND expected;
    };
    const Search searches[] = {
        {"first child", nullptr, nullptr, edit},
        {"after the first", edit, nullptr, label},
        {"after the last", combo, nullptr, nullptr},
        {"by class", nullptr, L"comboboxex32", combo},
        {"by class after it", combo, L"ComboBoxEx32", nullptr},
        {"a grandchild is not searched", nullptr, L"Button", nullptr},
        {"after a window that is not a child", grandchild, nullptr, nullptr},
    };
    for (const Search& search : searches) {
        SCOPED_TRACE(search.label);
        EXPECT_EQ(FindWindowExW(parent, search.after, search.className, nullptr), search.expected);
    }
    // Children are not top-level windows.
    EXPECT_EQ(FindWindowW(L"Edit", nullptr), nullptr);
}

TEST_F(WindowRelationsTest, ParentsAndOwners)
{
    HWND main = CreateTopLevel(L"main");
    HWND child = CreateChild(main);
    HWND popup = CreateTopLevel(L"popup", WS_POPUP, main);
    HWND ownedByChild = CreateTopLevel(L"owned by a child", WS_POPUP, child);
    HWND overlapped = CreateTopLevel(L"overlapped", WS_OVERLAPPEDWINDOW, main);
    struct Case {
        const char* label;
        HWND window;
        HWND parent;
        HWND owner;
    };
    const Case cases[] = {
        {"top-level", main, nullptr, nullptr},
        {"child", child, main, nullptr},
        {"owned pop-up", popup, main, main},
        {"owned through a child: the owner is its top-level window", ownedByChild, main, main},
        {"owned overlapped window: an owner, but no parent", overlapped, nullptr, main},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kUntouchedError);
        EXPECT_EQ(GetParent(c.window), c.parent);
        EXPECT_EQ(GetWindow(c.window, GW_OWNER), c.owner);
        EXPECT_EQ(GetLastError(), kUntouchedError);
    }
}

TEST_F(WindowRelationsTest, FindWindowComparesWholeTitlesWithoutCase)
{
    HWND alpha = CreateTopLevel(L"Alpha");
    HWND alphabet = CreateTopLevel(L"Alphabet");
    HWND untitled = CreateTopLevel(L"");
    struct Case {
        const char* label;
        const wchar_t* className;
        const wchar_t* title;
        HWND expected;
    };
    const Case cases[] = {
        {"exact title", nullptr, L"Alpha", alpha},
        {"other letter case", nullptr, L"aLPHA", alpha},
        {"with the class", kRecordingClass, L"ALPHABET", alphabet},
        {"a prefix is not a title", nullptr, L"Alph", nullptr},
        {"a longer text is not a title", nullptr, L"Alphabets", nullptr},
        {"the empty title", nullptr, L"", untitled},
        {"any title: the top window", nullptr, nullptr, untitled},
        {"right title, other class", L"Edit", L"Alpha", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(FindWindowW(c.className, c.title), c.expected);
    }
}

// The title is read as GetWindowTextW reads it, through the window's own
// procedure.
LRESULT CALLBACK TextlessProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_GETTEXT ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowRelationsTest, FindWindowReadsTitlesThroughTheProcedure)
{
    HWND window = CreateTopLevel(L"Secret");
    ASSERT_EQ(FindWindowW(nullptr, L"Secret"), window);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextlessProcedure));
    EXPECT_EQ(FindWindowW(nullptr, L"Secret"), nullptr);
}

TEST_F(WindowRelationsTest, MisusesFailWithWindowsErrors)
{
    HWND window = CreateTopLevel();
    HWND gone = CreateTopLevel();
    ASSERT_TRUE(DestroyWindow(gone));
    struct Case {
        const char* label;
        std::function<HWND()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"GetWindow on a destroyed window", [&] { return GetWindow(gone, GW_HWNDNEXT); }, ERROR_INVALID_WINDOW_HANDLE},
        {"GetWindow with an unknown relation", [&] { return GetWindow(window, 7); }, ERROR_INVALID_GW_COMMAND},
        {"GetParent on a destroyed window", [&] { return GetParent(gone); }, ERROR_INVALID_WINDOW_HANDLE},
        {"FindWindowExW under a destroyed window", [&] { return FindWindowExW(gone, nullptr, nullptr, nullptr); },
         ERROR_INVALID_WINDOW_HANDLE},
        {"FindWindowExW after a destroyed window", [&] { return FindWindowExW(nullptr, gone, nullptr, nullptr); },
         ERROR_INVALID_WINDOW_HANDLE},
        {"FindWindowW with a class nobody registered", [] { return FindWindowW(L"KorvelNoSuchClass", nullptr); },
         ERROR_CANNOT_FIND_WND_CLASS},
        {"a child window without a parent",
         [] { return CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); },
         ERROR_TLW_WITH_WSCHILD},
        {"a child of a destroyed window",
         [&] { return CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 1, 1, gone, nullptr, nullptr, nullptr); },
         ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kUntouchedError);
        EXPECT_EQ(c.call(), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(WindowRelationsTest, VisibilityFollowsShowWindowAndTheParents)
{
    HWND parent = CreateTopLevel(L"parent", WS_OVERLAPPEDWINDOW);
    HWND child = CreateChild(parent);  // WS_VISIBLE itself
    EXPECT_FALSE(IsWindowVisible(parent));
    EXPECT_FALSE(IsWindowVisible(child));

    struct Step {
        const char* label;
        int command;
        BOOL wasVisible;
        BOOL parentVisible;
    };
    const Step steps[] = {
        {"show a hidden window", SW_SHOW, FALSE, TRUE},
        {"show it again", SW_SHOWNORMAL, TRUE, TRUE},
        {"hide it", SW_HIDE, TRUE, FALSE},
        {"hide it again", SW_HIDE, FALSE, FALSE},
        {"a minimized window is a visible one", SW_MINIMIZE, FALSE, TRUE},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        EXPECT_EQ(ShowWindow(parent, step.command) != FALSE, step.wasVisible != FALSE);
        EXPECT_EQ(IsWindowVisible(parent), step.parentVisible);
        EXPECT_EQ(IsWindowVisible(child), step.parentVisible);
    }

    HWND shownAtOnce = CreateTopLevel(L"shown", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(shownAtOnce));
    ASSERT_TRUE(DestroyWindow(shownAtOnce));
    SetLastError(kUntouchedError);
    EXPECT_FALSE(ShowWindow(shownAtOnce, SW_SHOW));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindowVisible(shownAtOnce));
}

// How the vault manager reads the address of an Explorer window: down the
// first children until an address control, then WM_GETTEXT.
TEST_F(WindowRelationsTest, ExplorerAddressIsFoundDownTheFirstChildren)
{
    for (const wchar_t* name : {L"CabinetWClass", L"WorkerW", L"ReBarWindow32", L"Address Band Root"}) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = name;
        ASSERT_NE(RegisterClassW(&windowClass), 0);
    }
    HWND explorer = CreateWindowExW(0, L"CabinetWClass", L"Documents", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                    nullptr, nullptr, nullptr);
    HWND worker = CreateChild(explorer, L"WorkerW");
    CreateChild(explorer, L"Static", L"status");
    HWND rebar = CreateChild(worker, L"ReBarWindow32");
    HWND band = CreateChild(rebar, L"Address Band Root");
    CreateChild(rebar, L"Button", L"search");
    CreateChild(band, L"ComboBoxEx32", L"S:\\Photos");

    ASSERT_EQ(FindWindowW(L"cabinetwclass", nullptr), explorer);
    HWND control = GetWindow(explorer, GW_CHILD);
    WCHAR className[64] = {};
    while (control != nullptr) {
        GetClassNameW(control, className, 64);
        if (Text(className) == u"Edit" || Text(className) == u"ComboBoxEx32") {
            break;
        }
        control = GetWindow(control, GW_CHILD);
    }
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Text(className), u"ComboBoxEx32");
    WCHAR address[MAX_PATH];
    const LRESULT length = SendMessageW(control, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(address));
    EXPECT_EQ(Text(address, static_cast<std::size_t>(length)), u"S:\\Photos");
}

}  // namespace
