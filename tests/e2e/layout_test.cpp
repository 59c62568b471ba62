// The main window's children after every kind of resize: the tool strip on
// top at its own height, the status bar at the bottom, the tab control and
// both pages in between.
#include "AppFixture.h"

#include <sstream>

namespace e2e {
namespace {

std::string Show(const RECT& r) {
    std::ostringstream s;
    s << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return s.str();
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A status bar part's rectangle, in the status bar's client coordinates.
RECT StatusPartRect(HWND statusBar, int part) {
    RECT r = {};
    RemoteBuffer remote(statusBar, sizeof r);
    if (remote.IsValid() &&
        SendMessageA(statusBar, SB_GETRECT, part, reinterpret_cast<LPARAM>(remote.At(0))))
        remote.Read(0, &r, sizeof r);
    return r;
}

// The tab control's display area for a rectangle given in its coordinates.
RECT TabDisplayArea(HWND tab, RECT r) {
    RemoteBuffer remote(tab, sizeof r);
    if (remote.Write(0, &r, sizeof r)) {
        SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(remote.At(0)));
        remote.Read(0, &r, sizeof r);
    }
    return r;
}

class LayoutTest : public AppFixture {
protected:
    // Empty when the children sit where they belong; otherwise what is wrong.
    std::string LayoutFault() const {
        std::ostringstream fault;
        HWND main = app.Main();
        HWND strip = GetDlgItem(main, 2011);
        HWND status = app.StatusBar();
        HWND tab = app.Tab();
        if (!strip || !status || !tab) return "a child window is missing";
        RECT client = {};
        GetClientRect(main, &client);
        const int edgeX = GetSystemMetrics(SM_CXEDGE), edgeY = GetSystemMetrics(SM_CYEDGE);

        RECT s = RectIn(strip, main);
        if (s.left != 0 || s.top != 0 || s.right != client.right)
            fault << "tool strip " << Show(s) << " is not across the top of " << Show(client) << "; ";
        if (s.bottom - s.top != stripHeight_)
            fault << "tool strip height " << s.bottom - s.top << " instead of " << stripHeight_ << "; ";

        RECT b = RectIn(status, main);
        if (b.left != 0 || b.right != client.right || b.bottom != client.bottom)
            fault << "status bar " << Show(b) << " is not across the bottom of " << Show(client) << "; ";

        RECT stripClient = {};
        GetClientRect(strip, &stripClient);
        const int top = stripClient.bottom + edgeY;
        const int statusHeight = StatusPartRect(status, 2).bottom;
        const RECT wantTab = {0, top, client.right, client.bottom - statusHeight};
        RECT t = RectIn(tab, main);
        if (!SameRect(t, wantTab)) fault << "tab " << Show(t) << " instead of " << Show(wantTab) << "; ";
        // The strip's frame may lie under the tab; its buttons may not.
        RECT buttons = stripClient;
        MapWindowPoints(strip, main, reinterpret_cast<POINT*>(&buttons), 2);
        if (t.top < buttons.bottom || t.bottom > b.top)
            fault << "tab " << Show(t) << " covers the strip's buttons " << Show(buttons)
                  << " or the status bar " << Show(b) << "; ";

        const RECT d = TabDisplayArea(tab, client);
        const RECT wantPage = {d.left, d.top + edgeX, d.right - 3 * edgeX,
                               d.top + edgeX + (d.bottom - d.top - 4 * edgeY - statusHeight - top)};
        RECT tabClient = {};
        GetClientRect(tab, &tabClient);
        for (HWND page : {app.WakeList(), app.CommandLog()}) {
            RECT p = RectIn(page, tab);
            if (!SameRect(p, wantPage))
                fault << WindowText(page) << " " << Show(p) << " instead of " << Show(wantPage) << "; ";
            if (p.left < 0 || p.top < 0 || p.right > tabClient.right || p.bottom > tabClient.bottom)
                fault << WindowText(page) << " " << Show(p) << " sticks out of the tab " << Show(tabClient) << "; ";
        }
        return fault.str();
    }

    int stripHeight_ = 0;
};

struct Resize {
    const char* name;
    int show;          // a ShowWindow command, or 0 to set this size
    int width, height;
};

TEST_F(LayoutTest, ChildrenFollowEveryResize) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND strip = GetDlgItem(app.Main(), 2011);
    ASSERT_NE(strip, nullptr);
    RECT r = {};
    GetWindowRect(strip, &r);
    stripHeight_ = r.bottom - r.top;
    ASSERT_GT(stripHeight_, 32) << "the tool strip is lower than its 32-pixel buttons";
    EXPECT_EQ(LayoutFault(), "") << "at start";

    const Resize steps[] = {
        {"maximized", SW_MAXIMIZE, 0, 0},
        {"restored", SW_RESTORE, 0, 0},
        {"640 x 480", 0, 640, 480},
        {"wide and low", 0, 1100, 320},
        {"narrow and tall", 0, 420, 700},
        {"minimized", SW_MINIMIZE, 0, 0},
        {"restored from minimized", SW_RESTORE, 0, 0},
        {"maximized again", SW_MAXIMIZE, 0, 0},
        {"restored again", SW_RESTORE, 0, 0},
    };
    for (const Resize& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.show) {
            ShowWindow(app.Main(), step.show);
        } else {
            SetWindowPos(app.Main(), nullptr, 30, 20, step.width, step.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (step.show == SW_MINIMIZE) {
            EXPECT_TRUE(WaitUntil([&] { return IsIconic(app.Main()) != FALSE; }));
            continue;
        }
        if (!step.show) {
            EXPECT_TRUE(WaitUntil([&] {
                GetWindowRect(app.Main(), &r);
                return r.right - r.left == step.width && r.bottom - r.top == step.height;
            })) << "the window is " << Show(r);
        }
        EXPECT_TRUE(WaitUntil([&] { return LayoutFault().empty(); }, 3000)) << LayoutFault();
        EXPECT_TRUE(IsWindowVisible(app.WakeList()));
        EXPECT_FALSE(IsWindowVisible(app.CommandLog()));
    }
    EXPECT_TRUE(app.Responds());
}

}  // namespace
}  // namespace e2e
