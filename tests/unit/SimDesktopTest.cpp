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

}  // namespace
}  // namespace telvaro
