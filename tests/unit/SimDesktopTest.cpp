// The simulated desktop keeps the Windows rules the product relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimDesktop.h"

namespace telvaro {
namespace {

using sim::SimDesktop;

std::vector<Hwnd> Visited(SimDesktop& desktop, Hwnd parent) {
  std::vector<Hwnd> seen;
  desktop.EnumChildWindows(parent, [&seen](Hwnd h) {
    seen.push_back(h);
    return true;
  });
  return seen;
}

// With no parent EnumChildWindows is EnumWindows: the top-level windows, not their children.
TEST(SimDesktop, EnumChildWindowsOfNoParentVisitsTheTopLevelWindows) {
  SimDesktop desktop;
  const Hwnd first = desktop.AddWindow("A", "first");
  const Hwnd child = desktop.AddWindow("Edit", "", first);
  const Hwnd second = desktop.AddWindow("B", "second");
  const Hwnd grandChild = desktop.AddWindow("Button", "", child);
  EXPECT_EQ(Visited(desktop, 0), (std::vector<Hwnd>{first, second}));
  EXPECT_EQ(Visited(desktop, first), (std::vector<Hwnd>{child, grandChild}));
  std::vector<Hwnd> top;
  desktop.EnumWindows([&top](Hwnd h) {
    top.push_back(h);
    return true;
  });
  EXPECT_EQ(Visited(desktop, 0), top);
}

// A post to no window lands in the caller's own queue; a post to a closed window fails.
TEST(SimDesktop, PostsToWindowZeroAreQueuedAndToGoneWindowsFail) {
  SimDesktop desktop;
  const Hwnd gone = desktop.AddWindow("A", "gone");
  desktop.DestroyWindow(gone);
  EXPECT_FALSE(desktop.PostMessageA(gone, win::WM_KEYDOWN, 0x65, 0));
  EXPECT_EQ(desktop.PostedCount(), 0u);
  EXPECT_TRUE(desktop.PostMessageA(0, win::WM_KEYDOWN, 0x65, 0));
  EXPECT_EQ(desktop.PostedCount(), 1u);
  desktop.DeliverPosted();
  EXPECT_EQ(desktop.PostedCount(), 0u);
}

// DPI virtualization: what a thread of each awareness reads of a 158 x 14 client area at 150 %.
TEST(SimDesktop, ClientSizesAreReadInTheCallersDpiUnits) {
  struct Case {
    DpiContext window, reader;
    int width, height;
  };
  const Case cases[] = {
      {SimDesktop::kDpiUnaware, SimDesktop::kDpiPerMonitorV2, 237, 21},
      {SimDesktop::kDpiUnaware, SimDesktop::kDpiUnaware, 158, 14},
      {SimDesktop::kDpiSystemAware, SimDesktop::kDpiPerMonitorV2, 158, 14},
      {SimDesktop::kDpiPerMonitorV2, SimDesktop::kDpiUnaware, 105, 9},
  };
  for (const Case& c : cases) {
    SimDesktop desktop;
    desktop.SetDisplayScale(150);
    const Hwnd top = desktop.AddWindow("A", "a");
    desktop.SetDpiAwareness(top, c.window);
    const Hwnd edit = desktop.AddEdit(top, "", 158, 14);
    desktop.SetThreadDpiAwarenessContext(c.reader);
    Rect r;
    ASSERT_TRUE(desktop.GetClientRect(edit, &r));
    EXPECT_EQ(r.right, c.width) << c.window << " read by " << c.reader;
    EXPECT_EQ(r.bottom, c.height) << c.window << " read by " << c.reader;
  }
}

}  // namespace
}  // namespace telvaro
