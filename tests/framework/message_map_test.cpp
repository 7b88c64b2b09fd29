#include "framework/message_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kShared = WM_USER + 1;
constexpr UINT kBaseOnly = WM_USER + 2;
constexpr UINT kDerivedOnly = WM_USER + 3;
constexpr UINT kUnmapped = WM_USER + 4;

class Recorder : public CCmdTarget {
public:
    std::vector<std::string> calls;

protected:
    void Record(const char* what) { calls.emplace_back(what); }
};

class BaseTarget : public Recorder {
public:
    LRESULT OnBaseShared(WPARAM, LPARAM) {
        Record("BaseShared");
        return 1;
    }
    LRESULT OnBaseOnly(WPARAM wParam, LPARAM lParam) {
        Record("BaseOnly");
        return static_cast<LRESULT>(wParam + lParam);
    }
    void OnBaseCommand() { Record("BaseCommand"); }
    void OnBaseClicked() { Record("BaseClicked"); }
    void OnBaseChanged() { Record("BaseChanged"); }
    void OnBaseOther() { Record("BaseOther"); }
    // Virtual: a map entry in the base still reaches a derived override.
    virtual void OnOverridable() { Record("BaseOverridable"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseTarget, Recorder)
ON_MESSAGE(kShared, OnBaseShared)
ON_MESSAGE(kBaseOnly, OnBaseOnly)
ON_COMMAND(100, OnBaseCommand)
ON_BN_CLICKED(200, OnBaseClicked)
ON_CONTROL(EN_CHANGE, 200, OnBaseChanged)
ON_COMMAND(300, OnBaseOther)
ON_COMMAND(400, OnOverridable)
END_MESSAGE_MAP()

class DerivedTarget : public BaseTarget {
public:
    LRESULT OnDerivedSharedFirst(WPARAM, LPARAM) {
        Record("DerivedSharedFirst");
        return 2;
    }
    LRESULT OnDerivedSharedSecond(WPARAM, LPARAM) {
        Record("DerivedSharedSecond");
        return 3;
    }
    LRESULT OnDerivedOnly(WPARAM, LPARAM) {
        Record("DerivedOnly");
        return 4;
    }
    void OnDerivedCommand() { Record("DerivedCommand"); }
    void OnDerivedChanged() { Record("DerivedChanged"); }
    void OnOverridable() override { Record("DerivedOverridable"); }

    DECLARE_MESSAGE_MAP()
};

// Declaration order matters: the second kShared entry is never reached.
BEGIN_MESSAGE_MAP(DerivedTarget, BaseTarget)
ON_MESSAGE(kShared, OnDerivedSharedFirst)
ON_MESSAGE(kShared, OnDerivedSharedSecond)
ON_MESSAGE(kDerivedOnly, OnDerivedOnly)
ON_COMMAND(100, OnDerivedCommand)
ON_CONTROL(EN_CHANGE, 200, OnDerivedChanged)
ON_COMMAND(300, BaseTarget::OnBaseOther)
END_MESSAGE_MAP()

struct DispatchCase {
    const char* name;
    bool derived;  // which object receives the message
    UINT message;
    UINT code;
    UINT id;
    const char* handler;  // null: no table handles it
    LRESULT result;
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const DispatchCase& c, std::ostream* os) {
    *os << c.name;
}

class MessageMapDispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(MessageMapDispatchTest, FindsTheFirstEntryOfTheNearestClass) {
    const DispatchCase& c = GetParam();
    BaseTarget base;
    DerivedTarget derived;
    BaseTarget& target = c.derived ? derived : base;

    const afx::MessageMapEntry* entry =
        afx::FindMessageEntry(target.GetMessageMap(), c.message, c.code, c.id);
    if (c.handler == nullptr) {
        EXPECT_EQ(entry, nullptr);
        return;
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->call(target, 5, 7), c.result);
    EXPECT_EQ(target.calls, std::vector<std::string>{c.handler});
}

INSTANTIATE_TEST_SUITE_P(
    Tables, MessageMapDispatchTest,
    ::testing::Values(
        DispatchCase{"DerivedBeatsBase", true, kShared, 0, 0, "DerivedSharedFirst", 2},
        DispatchCase{"BaseAloneUsesItsOwn", false, kShared, 0, 0, "BaseShared", 1},
        DispatchCase{"ChainReachesBase", true, kBaseOnly, 0, 0, "BaseOnly", 12},
        DispatchCase{"BaseDoesNotSeeDerived", false, kDerivedOnly, 0, 0, nullptr, 0},
        DispatchCase{"DerivedOnly", true, kDerivedOnly, 0, 0, "DerivedOnly", 4},
        DispatchCase{"Unmapped", true, kUnmapped, 0, 0, nullptr, 0},
        // Other messages ignore code and id.
        DispatchCase{"NonCommandIgnoresIds", true, kBaseOnly, 9, 9, "BaseOnly", 12},
        DispatchCase{"CommandOverridden", true, WM_COMMAND, 0, 100, "DerivedCommand", 0},
        DispatchCase{"CommandInBase", false, WM_COMMAND, 0, 100, "BaseCommand", 0},
        DispatchCase{"ClickedFromBase", true, WM_COMMAND, BN_CLICKED, 200, "BaseClicked", 0},
        DispatchCase{"NotificationOverridden", true, WM_COMMAND, EN_CHANGE, 200, "DerivedChanged",
                     0},
        DispatchCase{"UnknownNotification", true, WM_COMMAND, EN_KILLFOCUS, 200, nullptr, 0},
        DispatchCase{"UnknownCommand", true, WM_COMMAND, 0, 101, nullptr, 0},
        DispatchCase{"CodeMustMatch", true, WM_COMMAND, 1, 100, nullptr, 0},
        DispatchCase{"QualifiedBaseHandler", true, WM_COMMAND, 0, 300, "BaseOther", 0},
        DispatchCase{"VirtualReachesOverride", true, WM_COMMAND, 0, 400, "DerivedOverridable", 0},
        DispatchCase{"VirtualInBase", false, WM_COMMAND, 0, 400, "BaseOverridable", 0}),
    [](const ::testing::TestParamInfo<DispatchCase>& info) {
        return std::string(info.param.name);
    });

struct CommandCase {
    UINT id;
    UINT code;
    bool handled;
    const char* handler;
};

TEST(CmdTargetTest, OnCmdMsgRunsTheHandlerOrReportsThereIsNone) {
    const CommandCase cases[] = {
        {100, 0, true, "DerivedCommand"},
        {200, BN_CLICKED, true, "BaseClicked"},
        {200, EN_UPDATE, false, nullptr},
        {999, 0, false, nullptr},
    };
    for (const CommandCase& c : cases) {
        DerivedTarget target;
        EXPECT_EQ(target.OnCmdMsg(c.id, c.code), c.handled) << c.id;
        if (c.handled) {
            EXPECT_EQ(target.calls, std::vector<std::string>{c.handler});
        } else {
            EXPECT_TRUE(target.calls.empty());
        }
    }
}

TEST(CmdTargetTest, RootHandlesNothing) {
    CCmdTarget root;
    EXPECT_EQ(afx::FindMessageEntry(root.GetMessageMap(), WM_COMMAND, 0, 100), nullptr);
    EXPECT_EQ(afx::FindMessageEntry(root.GetMessageMap(), WM_PAINT, 0, 0), nullptr);
    EXPECT_EQ(afx::FindMessageEntry(nullptr, WM_PAINT, 0, 0), nullptr);
    EXPECT_FALSE(root.OnCmdMsg(100, 0));
}

}  // namespace
