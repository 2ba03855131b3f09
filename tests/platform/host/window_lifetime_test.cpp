// Creating and destroying windows: the messages on the way in and out, what
// goes with a destroyed window, and creation a procedure refuses.
#include "desktop_fixture.h"

#include <host/user32_hooks.h>

#include <algorithm>
#include <thread>

namespace {

using korvel::test::Delivered;
using korvel::test::DesktopTest;
using korvel::test::kUntouchedError;
using korvel::test::Text;

class WindowLifetimeTest : public DesktopTest {
protected:
    static void RegisterClassWith(const wchar_t* name, WNDPROC procedure)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.lpszClassName = name;
        ASSERT_NE(RegisterClassW(&windowClass), 0);
    }

    // (window, message) pairs of what the recording procedures got.
    static std::vector<std::pair<HWND, UINT>> Sequence()
    {
        std::vector<std::pair<HWND, UINT>> sequence;
        for (const Delivered& delivered : DeliveredMessages()) {
            sequence.emplace_back(delivered.hwnd, delivered.message);
        }
        return sequence;
    }
};

// Keeps what the creation messages carried.
struct CreationSeen {
    UINT message;
    CREATESTRUCTW create;
};
std::vector<CreationSeen> g_CreationSeen;

LRESULT CALLBACK KeepCreationArguments(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE || message == WM_CREATE) {
        g_CreationSeen.push_back({message, *reinterpret_cast<const CREATESTRUCTW*>(lParam)});
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowLifetimeTest, CreationSendsNcCreateThenCreateWithTheArguments)
{
    RegisterClassWith(L"KorvelCreation", KeepCreationArguments);
    g_CreationSeen.clear();
    HWND owner = CreateTopLevel();
    int parameter = 0;
    const HMENU menu = reinterpret_cast<HMENU>(ULONG_PTR{0x77});
    HWND window =
        CreateWindowExW(0x100, L"KorvelCreation", L"Caption", WS_POPUP, 1, 2, 3, 4, owner, menu, nullptr, &parameter);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(g_CreationSeen.size(), 2u);
    EXPECT_EQ(g_CreationSeen[0].message, UINT(WM_NCCREATE));
    EXPECT_EQ(g_CreationSeen[1].message, UINT(WM_CREATE));
    for (const CreationSeen& seen : g_CreationSeen) {
        SCOPED_TRACE(testing::Message() << "message " << seen.message);
        EXPECT_EQ(seen.create.lpCreateParams, &parameter);
        EXPECT_EQ(seen.create.hInstance, nullptr);
        EXPECT_EQ(seen.create.hMenu, menu);
        EXPECT_EQ(seen.create.hwndParent, owner);
        EXPECT_EQ(seen.create.x, 1);
        EXPECT_EQ(seen.create.y, 2);
        EXPECT_EQ(seen.create.cx, 3);
        EXPECT_EQ(seen.create.cy, 4);
        EXPECT_EQ(seen.create.style, static_cast<LONG>(WS_POPUP));
        EXPECT_EQ(seen.create.dwExStyle, 0x100u);
        EXPECT_EQ(Text(seen.create.lpszName), u"Caption");
        EXPECT_EQ(Text(seen.create.lpszClass), u"KorvelCreation");
    }
}

LRESULT CALLBACK RefuseNcCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DesktopTest::Record(hwnd, message, wParam, lParam);
    return message == WM_NCCREATE ? FALSE : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK RefuseCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DesktopTest::Record(hwnd, message, wParam, lParam);
    return message == WM_CREATE ? -1 : DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowLifetimeTest, AProcedureCanRefuseCreation)
{
    RegisterClassWith(L"KorvelRefuseNcCreate", RefuseNcCreate);
    RegisterClassWith(L"KorvelRefuseCreate", RefuseCreate);
    HWND parent = CreateTopLevel();
    struct Case {
        const char* label;
        const wchar_t* className;
        std::vector<UINT> messages;
    };
    const Case cases[] = {
        {"WM_NCCREATE answered FALSE", L"KorvelRefuseNcCreate", {WM_NCCREATE, WM_NCDESTROY}},
        {"WM_CREATE answered -1", L"KorvelRefuseCreate", {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ForgetDelivered();
        EXPECT_EQ(CreateWindowExW(0, c.className, L"", WS_CHILD, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr),
                  nullptr);
        const std::vector<Delivered> delivered = DeliveredMessages();
        ASSERT_FALSE(delivered.empty());
        const HWND refused = delivered.front().hwnd;
        EXPECT_EQ(MessagesTo(refused), c.messages);
        EXPECT_FALSE(IsWindow(refused));
        EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    }
}

// What the parent in the next test saw while it was being destroyed.
struct DestructionSeen {
    HWND firstChild = nullptr;
    bool childrenAliveDuringDestroy = false;
    HANDLE markerDuringNcDestroy = nullptr;
};
DestructionSeen g_DestructionSeen;

LRESULT CALLBACK ObservingParent(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DesktopTest::Record(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY) {
        g_DestructionSeen.childrenAliveDuringDestroy = IsWindow(g_DestructionSeen.firstChild) != FALSE;
    }
    if (message == WM_NCDESTROY) {
        g_DestructionSeen.markerDuringNcDestroy = GetPropW(hwnd, L"Marker");
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowLifetimeTest, DestroyWindowTakesTheChildrenAlong)
{
    RegisterClassWith(L"KorvelObservingParent", ObservingParent);
    HWND bystander = CreateTopLevel(L"bystander");
    HWND parent = CreateWindowExW(0, L"KorvelObservingParent", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND first = CreateChild(parent);
    HWND second = CreateChild(parent);
    HWND grandchild = CreateChild(first);
    g_DestructionSeen = DestructionSeen{first};
    ASSERT_TRUE(SetPropW(parent, L"Marker", reinterpret_cast<HANDLE>(ULONG_PTR{0x1234})));
    ForgetDelivered();

    SetLastError(kUntouchedError);
    ASSERT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(GetLastError(), kUntouchedError);

    // WM_DESTROY from the top down while every window still exists, then
    // WM_NCDESTROY from the bottom up.
    const std::vector<std::pair<HWND, UINT>> expected = {
        {parent, WM_DESTROY},       {first, WM_DESTROY},     {grandchild, WM_DESTROY},
        {second, WM_DESTROY},       {grandchild, WM_NCDESTROY}, {first, WM_NCDESTROY},
        {second, WM_NCDESTROY},     {parent, WM_NCDESTROY},
    };
    EXPECT_EQ(Sequence(), expected);
    EXPECT_TRUE(g_DestructionSeen.childrenAliveDuringDestroy);
    // Properties last until WM_NCDESTROY has been handled.
    EXPECT_EQ(g_DestructionSeen.markerDuringNcDestroy, reinterpret_cast<HANDLE>(ULONG_PTR{0x1234}));

    for (HWND gone : {parent, first, second, grandchild}) {
        SCOPED_TRACE(testing::Message() << "window " << gone);
        SetLastError(kUntouchedError);
        EXPECT_FALSE(IsWindow(gone));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(kUntouchedError);
        EXPECT_FALSE(DestroyWindow(gone));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    }
    EXPECT_EQ(GetPropW(parent, L"Marker"), nullptr);
    EXPECT_EQ(FindWindowW(nullptr, L"parent"), nullptr);
    EXPECT_EQ(GetWindow(bystander, GW_HWNDFIRST), bystander);
    EXPECT_EQ(GetWindow(bystander, GW_HWNDNEXT), nullptr);
}

// A window on its way out takes no new children.
struct LateChild {
    HWND window = nullptr;
    DWORD error = 0;
};
LateChild g_LateChild;

LRESULT CALLBACK CreateChildWhileDestroyed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        SetLastError(kUntouchedError);
        g_LateChild.window =
            CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 1, 1, hwnd, nullptr, nullptr, nullptr);
        g_LateChild.error = GetLastError();
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowLifetimeTest, NoChildrenForAWindowBeingDestroyed)
{
    RegisterClassWith(L"KorvelLateParent", CreateChildWhileDestroyed);
    HWND parent = CreateWindowExW(0, L"KorvelLateParent", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    g_LateChild = LateChild{reinterpret_cast<HWND>(ULONG_PTR{1}), 0};
    ASSERT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(g_LateChild.window, nullptr);
    EXPECT_EQ(g_LateChild.error, DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(FindWindowW(L"Edit", nullptr), nullptr);
}

TEST_F(WindowLifetimeTest, TheSiblingsCloseUpBehindADestroyedChild)
{
    HWND parent = CreateTopLevel();
    HWND first = CreateChild(parent);
    HWND middle = CreateChild(parent);
    HWND last = CreateChild(parent);
    ASSERT_TRUE(DestroyWindow(middle));
    EXPECT_EQ(GetWindow(parent, GW_CHILD), first);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), last);
    EXPECT_EQ(GetWindow(last, GW_HWNDPREV), first);
}

TEST_F(WindowLifetimeTest, OwnedWindowsGoBeforeTheirOwner)
{
    HWND owner = CreateTopLevel(L"owner");
    HWND owned = CreateTopLevel(L"owned", WS_POPUP, owner);
    ForgetDelivered();
    ASSERT_TRUE(DestroyWindow(owner));
    const std::vector<std::pair<HWND, UINT>> expected = {
        {owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {owner, WM_DESTROY}, {owner, WM_NCDESTROY}};
    EXPECT_EQ(Sequence(), expected);
    EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowLifetimeTest, ClosingByDefaultDestroys)
{
    HWND window = CreateTopLevel();
    EXPECT_EQ(SendMessageW(window, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowLifetimeTest, ADestroyedWindowLeavesNoMessagesOrHotKeys)
{
    HWND doomed = CreateTopLevel();
    HWND survivor = CreateTopLevel();
    ASSERT_TRUE(PostMessageW(doomed, WM_APP, 1, 0));
    ASSERT_TRUE(PostMessageW(survivor, WM_APP, 2, 0));
    ASSERT_TRUE(RegisterHotKey(doomed, 1, MOD_ALT | MOD_CONTROL, 'K'));
    ASSERT_TRUE(DestroyWindow(doomed));

    const std::vector<MSG> posted = host::PostedMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].hwnd, survivor);
    // The combination is free again.
    EXPECT_TRUE(RegisterHotKey(survivor, 1, MOD_ALT | MOD_CONTROL, 'K'));
}

TEST_F(WindowLifetimeTest, OnlyTheCreatingThreadDestroys)
{
    HWND window = CreateTopLevel();
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread other([&] {
        destroyed = DestroyWindow(window);
        error = GetLastError();
    });
    other.join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(window));
}

}  // namespace
