// The About box: it opens over the main window and closes with OK or Esc.
#include "AppFixture.h"

namespace e2e {
namespace {

struct CloseKey { const char* name; bool escape; };
class AboutTest : public AppFixture, public testing::WithParamInterface<CloseKey> {};

TEST_P(AboutTest, OpensOwnedByTheMainWindowAndCloses) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    app.PostCommand(kCmdAbout);
    HWND about = WaitDialog(app.Pid(), "Nodelark");
    ASSERT_NE(about, nullptr) << "the About box did not open";
    EXPECT_EQ(GetWindow(about, GW_OWNER), app.Main());
    EXPECT_EQ(WindowText(GetDlgItem(about, IDOK)), "OK");
    bool hasGroup = false;
    for (const ChildInfo& child : Children(about))
        hasGroup |= child.className == "Button" && child.text == "Network Infomation";
    EXPECT_TRUE(hasGroup) << "no group box \"Network Infomation\"";
    EXPECT_FALSE(IsWindowEnabled(app.Main())) << "the About box is not modal";

    if (GetParam().escape) {
        ASSERT_TRUE(BringToFront(about));
        PressKey(VK_ESCAPE);
    } else {
        ClickButton(about, IDOK);
    }
    EXPECT_TRUE(WaitGone(about));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.Main()) != FALSE; }));
    EXPECT_TRUE(app.Responds());
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutTest,
                         testing::Values(CloseKey{"Ok", false}, CloseKey{"Escape", true}),
                         [](const testing::TestParamInfo<CloseKey>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// The box paints its network text; the same text is what it copies, so the
// copy shows what the user reads: the namespace's own address and the
// broadcast address a magic packet for that network would use.
TEST_F(AppFixture, AboutShowsTheNamespaceNetwork) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    app.PostCommand(kCmdAbout);
    HWND about = WaitDialog(app.Pid(), "Nodelark");
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(PutClipboardText(""));
    SendMessageA(about, WM_COPY, 0, 0);
    const std::string text = ClipboardTextBytes();
    EXPECT_NE(text.find("IP Address ... 10.77.0.2\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Subnet Mask ... 255.255.255.0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Broadcast Address ... 10.77.0.255\r\n"), std::string::npos) << text;
    ClickButton(about, IDOK);
    EXPECT_TRUE(WaitGone(about));
}

}  // namespace
}  // namespace e2e
