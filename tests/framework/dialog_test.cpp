#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/win_app.h"
#include "test_resource.h"

namespace {

constexpr INT_PTR kTimedOut = 999;
constexpr UINT kTimeoutTimer = 1;
constexpr UINT kThrowRuntimeError = 2001;
constexpr UINT kThrowBadAlloc = 2002;
constexpr UINT kThrowInt = 2003;
constexpr UINT kRunHook = 2004;
constexpr UINT kEndWithId = 2005;  // ends the dialog with the command id
constexpr UINT kValueMessage = WM_USER + 10;
constexpr LRESULT kValue = 0x12345678;

// A dialog that runs a script from OnInitDialog and records what reaches its handlers. A timer
// ends it with kTimedOut, so a test that waits for something that never comes fails instead of
// hanging.
class TestDialog : public CDialog {
public:
    explicit TestDialog(CWnd* parent = nullptr) : CDialog(IDD_TEST_DIALOG, parent) {}

    std::function<void(TestDialog&)> onInit;
    std::function<void(TestDialog&)> onHook;
    BOOL initResult = TRUE;
    std::vector<std::string> log;
    HWND ownerAtInit = nullptr;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ownerAtInit = ::GetWindow(m_hWnd, GW_OWNER);
        ::SetTimer(m_hWnd, kTimeoutTimer, 10000, nullptr);
        if (onInit) {
            onInit(*this);
        }
        return initResult;
    }

    void OnOK() override {
        log.emplace_back("OnOK");
        CDialog::OnOK();
    }

    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    void PostCommand(UINT id) { Post(WM_COMMAND, id, 0); }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    LRESULT OnTimer(WPARAM, LPARAM) {
        EndDialog(static_cast<int>(kTimedOut));
        return 0;
    }
    void OnAction() {
        log.emplace_back("OnAction");
        EndDialog(IDC_ACTION);
    }
    void OnThrowRuntimeError() { throw std::runtime_error("handler failure"); }
    void OnThrowBadAlloc() { throw std::bad_alloc(); }
    void OnThrowInt() { throw 7; }
    void OnRunHook() {
        if (onHook) {
            onHook(*this);
        }
    }
    void OnEndWithId() { EndDialog(static_cast<int>(kEndWithId)); }
    LRESULT OnValue(WPARAM, LPARAM) { return kValue; }
    HCURSOR OnQueryDragIcon() { return ::LoadCursorA(nullptr, IDC_ARROW); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_MESSAGE(WM_TIMER, OnTimer)
ON_BN_CLICKED(IDC_ACTION, OnAction)
ON_COMMAND(kThrowRuntimeError, OnThrowRuntimeError)
ON_COMMAND(kThrowBadAlloc, OnThrowBadAlloc)
ON_COMMAND(kThrowInt, OnThrowInt)
ON_COMMAND(kRunHook, OnRunHook)
ON_COMMAND(kEndWithId, OnEndWithId)
ON_MESSAGE(kValueMessage, OnValue)
ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

// Maps WM_CLOSE to a handler that may or may not ask for the default processing.
class CloseDialog : public TestDialog {
public:
    bool callDefault = false;

protected:
    LRESULT OnClose(WPARAM, LPARAM) {
        log.emplace_back("OnClose");
        if (callDefault) {
            Default();
        }
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CloseDialog, TestDialog)
ON_MESSAGE(WM_CLOSE, OnClose)
END_MESSAGE_MAP()

// --- The framework's default handling of the ways a dialog ends --------------------------------

struct EndCase {
    const char* name;
    std::function<void(TestDialog&)> script;
    INT_PTR result;
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(DialogEndTest, EndsWithTheExpectedResult) {
    TestDialog dialog;
    dialog.onInit = GetParam().script;
    dialog.initResult = FALSE;
    EXPECT_EQ(dialog.DoModal(), GetParam().result);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

void FocusAndKey(TestDialog& d, int item, WPARAM key) {
    d.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d.Item(item)), TRUE);
    ::PostMessageA(d.Item(item), WM_KEYDOWN, key, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Defaults, DialogEndTest,
    ::testing::Values(
        EndCase{"OkCommand", [](TestDialog& d) { d.PostCommand(IDOK); }, IDOK},
        EndCase{"CancelCommand", [](TestDialog& d) { d.PostCommand(IDCANCEL); }, IDCANCEL},
        EndCase{"CloseMessage", [](TestDialog& d) { d.Post(WM_CLOSE); }, IDCANCEL},
        EndCase{"CloseBox", [](TestDialog& d) { d.Post(WM_SYSCOMMAND, SC_CLOSE); }, IDCANCEL},
        EndCase{"ButtonClick",
                [](TestDialog& d) {
                    d.Post(WM_COMMAND, MAKEWPARAM(IDC_ACTION, BN_CLICKED),
                           reinterpret_cast<LPARAM>(d.Item(IDC_ACTION)));
                },
                IDC_ACTION},
        // A menu or accelerator command carries no control and counts as notification 0.
        EndCase{"AcceleratorCommand",
                [](TestDialog& d) { d.Post(WM_COMMAND, MAKEWPARAM(kEndWithId, 1), 0); },
                kEndWithId},
        EndCase{"EnterInMultiLineEdit",
                [](TestDialog& d) { FocusAndKey(d, IDC_MULTI_EDIT, VK_RETURN); }, IDOK},
        EndCase{"EnterInSingleLineEdit",
                [](TestDialog& d) { FocusAndKey(d, IDC_SINGLE_EDIT, VK_RETURN); }, IDOK},
        EndCase{"EscapeInMultiLineEdit",
                [](TestDialog& d) { FocusAndKey(d, IDC_MULTI_EDIT, VK_ESCAPE); }, IDCANCEL},
        EndCase{"EnterOnFocusedButton",
                [](TestDialog& d) { FocusAndKey(d, IDC_ACTION, VK_RETURN); }, IDC_ACTION}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST(DialogTest, OkGoesThroughTheVirtualOnOK) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) { d.PostCommand(IDOK); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"OnOK"});
}

TEST(DialogTest, MissingTemplateFails) {
    class Missing : public CDialog {
    public:
        Missing() : CDialog(4242) {}
    } missing;
    EXPECT_EQ(missing.DoModal(), -1);
}

// --- Default(): the system's processing follows the handler only when asked ---------------------

TEST(DialogTest, HandlerWithoutDefaultKeepsTheDialogOpen) {
    CloseDialog dialog;
    dialog.onInit = [](TestDialog& d) {
        d.Post(WM_CLOSE);
        d.PostCommand(kRunHook);
    };
    // Two hops: the default processing of WM_CLOSE may post its IDCANCEL.
    dialog.onHook = [](TestDialog& d) { d.PostCommand(kEndWithId); };
    EXPECT_EQ(dialog.DoModal(), kEndWithId);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"OnClose"});
}

TEST(DialogTest, HandlerCallingDefaultGetsTheSystemsProcessing) {
    CloseDialog dialog;
    dialog.callDefault = true;
    dialog.onInit = [](TestDialog& d) {
        d.Post(WM_CLOSE);
        d.PostCommand(kRunHook);
    };
    // Two hops: the default processing of WM_CLOSE may post its IDCANCEL.
    dialog.onHook = [](TestDialog& d) { d.PostCommand(kEndWithId); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"OnClose"});
}

// --- Handler results reach the sender ----------------------------------------------------------

TEST(DialogTest, HandlerResultsReachTheSender) {
    TestDialog dialog;
    LRESULT value = 0;
    LRESULT dragIcon = 0;
    dialog.onInit = [&](TestDialog& d) {
        value = d.SendMessage(kValueMessage);
        // WM_QUERYDRAGICON is answered by the dialog procedure's own return value.
        dragIcon = d.SendMessage(WM_QUERYDRAGICON);
        d.PostCommand(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(value, kValue);
    EXPECT_EQ(dragIcon, reinterpret_cast<LRESULT>(::LoadCursorA(nullptr, IDC_ARROW)));
}

// --- No exception crosses into the system ------------------------------------------------------

struct ThrowCase {
    const char* name;
    UINT command;  // 0: OnInitDialog throws
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const ThrowCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogExceptionTest : public ::testing::TestWithParam<ThrowCase> {};

TEST_P(DialogExceptionTest, ThrowingHandlerEndsOnlyItsDialog) {
    TestDialog dialog;
    const UINT command = GetParam().command;
    dialog.onInit = [command](TestDialog& d) {
        if (command == 0) {
            throw std::runtime_error("init failure");
        }
        d.PostCommand(command);
    };
    EXPECT_EQ(dialog.DoModal(), IDABORT);

    // The framework is intact afterwards.
    TestDialog next;
    next.onInit = [](TestDialog& d) { d.PostCommand(IDOK); };
    EXPECT_EQ(next.DoModal(), IDOK);
}

INSTANTIATE_TEST_SUITE_P(Handlers, DialogExceptionTest,
                         ::testing::Values(ThrowCase{"InitDialog", 0},
                                           ThrowCase{"RuntimeError", kThrowRuntimeError},
                                           ThrowCase{"BadAlloc", kThrowBadAlloc},
                                           ThrowCase{"NonStdException", kThrowInt}),
                         [](const ::testing::TestParamInfo<ThrowCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DialogTest, ExceptionInNestedDialogLeavesTheOuterRunning) {
    TestDialog outer;
    INT_PTR innerResult = 0;
    outer.onInit = [](TestDialog& d) { d.PostCommand(kRunHook); };
    outer.onHook = [&](TestDialog& d) {
        TestDialog inner(&d);
        inner.onInit = [](TestDialog& i) { i.PostCommand(kThrowRuntimeError); };
        innerResult = inner.DoModal();
        d.PostCommand(IDOK);
    };
    EXPECT_EQ(outer.DoModal(), IDOK);
    EXPECT_EQ(innerResult, IDABORT);
}

// --- Owner rule and placement ------------------------------------------------------------------

struct Observed {
    HWND outer = nullptr;
    HWND innerOwner = nullptr;
    BOOL outerEnabledDuringInner = TRUE;
    BOOL outerEnabledAfterInner = FALSE;
    INT_PTR innerResult = 0;
    RECT outerRect{};
    RECT innerRect{};
};

// Runs an outer dialog that opens an inner one, with `outerIsMain` deciding whether the outer
// one is the application's main window and `explicitParent` whether the inner one names it.
Observed RunNested(bool outerIsMain, bool explicitParent) {
    CWinApp app;
    Observed seen;
    TestDialog outer;
    if (outerIsMain) {
        app.m_pMainWnd = &outer;
    }
    outer.onInit = [&](TestDialog& d) {
        seen.outer = d.m_hWnd;
        d.PostCommand(kRunHook);
    };
    outer.onHook = [&](TestDialog& d) {
        TestDialog inner(explicitParent ? &d : nullptr);
        inner.onInit = [&](TestDialog& i) { i.PostCommand(kRunHook); };
        inner.onHook = [&](TestDialog& i) {
            seen.innerOwner = ::GetWindow(i.m_hWnd, GW_OWNER);
            seen.outerEnabledDuringInner = ::IsWindowEnabled(d.m_hWnd);
            ::GetWindowRect(i.m_hWnd, &seen.innerRect);
            ::GetWindowRect(d.m_hWnd, &seen.outerRect);
            i.PostCommand(IDOK);
        };
        seen.innerResult = inner.DoModal();
        seen.outerEnabledAfterInner = ::IsWindowEnabled(d.m_hWnd);
        d.PostCommand(IDOK);
    };
    EXPECT_EQ(outer.DoModal(), IDOK);
    return seen;
}

struct OwnerCase {
    const char* name;
    bool outerIsMain;
    bool explicitParent;
    bool ownedByOuter;
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const OwnerCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogOwnerTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(DialogOwnerTest, OwnerIsTheParentOrElseTheMainWindow) {
    const OwnerCase& c = GetParam();
    const Observed seen = RunNested(c.outerIsMain, c.explicitParent);
    EXPECT_EQ(seen.innerResult, IDOK);
    ASSERT_NE(seen.outer, nullptr);
    if (c.ownedByOuter) {
        EXPECT_EQ(seen.innerOwner, seen.outer);
        EXPECT_FALSE(seen.outerEnabledDuringInner);
    } else {
        EXPECT_EQ(seen.innerOwner, nullptr);
        EXPECT_TRUE(seen.outerEnabledDuringInner);
    }
    EXPECT_TRUE(seen.outerEnabledAfterInner);
}

INSTANTIATE_TEST_SUITE_P(Rules, DialogOwnerTest,
                         ::testing::Values(OwnerCase{"NoParentMainWindow", true, false, true},
                                           OwnerCase{"NoParentNoMainWindow", false, false, false},
                                           OwnerCase{"ExplicitParent", false, true, true},
                                           OwnerCase{"ExplicitParentAndMain", true, true, true}),
                         [](const ::testing::TestParamInfo<OwnerCase>& info) {
                             return std::string(info.param.name);
                         });

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(DialogTest, OwnedDialogOpensCentredOverItsOwner) {
    const Observed seen = RunNested(true, false);
    const POINT inner = Centre(seen.innerRect);
    const POINT outer = Centre(seen.outerRect);
    EXPECT_LE(std::abs(inner.x - outer.x), 1);
    EXPECT_LE(std::abs(inner.y - outer.y), 1);
}

TEST(DialogTest, UnownedDialogOpensCentredOnTheWorkArea) {
    TestDialog dialog;
    RECT window{};
    RECT work{};
    dialog.onInit = [&](TestDialog& d) { d.PostCommand(kRunHook); };
    dialog.onHook = [&](TestDialog& d) {
        ::GetWindowRect(d.m_hWnd, &window);
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoA(::MonitorFromWindow(d.m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
        work = info.rcWork;
        d.PostCommand(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    const POINT a = Centre(window);
    const POINT b = Centre(work);
    EXPECT_LE(std::abs(a.x - b.x), 1);
    EXPECT_LE(std::abs(a.y - b.y), 1);
    EXPECT_GT(window.left, work.left);
}

TEST(DialogTest, DialogMovedDuringInitStaysWhereItWasPut) {
    TestDialog dialog;
    RECT window{};
    dialog.onInit = [&](TestDialog& d) {
        ::SetWindowPos(d.m_hWnd, nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        d.PostCommand(kRunHook);
    };
    dialog.onHook = [&](TestDialog& d) {
        ::GetWindowRect(d.m_hWnd, &window);
        d.PostCommand(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(window.left, 3);
    EXPECT_EQ(window.top, 4);
}

// --- Help command routing ----------------------------------------------------------------------

class HelpApp : public CWinApp {
public:
    int helpCalls = 0;
    void OnHelpCommand() { ++helpCalls; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

TEST(DialogTest, HelpReachesTheApplicationsMap) {
    HelpApp app;
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) {
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        d.SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        d.SendMessage(WM_COMMAND, ID_HELP, 0);
        d.PostCommand(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(app.helpCalls, 2);
}

}  // namespace
