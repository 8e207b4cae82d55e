// The real seam against a real Windows (Wine): the calls the portable code relies on behave as
// the simulated desktop assumes.
#include "platform/win32/RealWindowsApi.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {
// Taken before <windows.h> (included by E2e.h) turns these names into macros.
constexpr telvaro::Hkey kSeamLocalMachine = telvaro::win::HKEY_LOCAL_MACHINE;
constexpr telvaro::Hkey kSeamCurrentUser = telvaro::win::HKEY_CURRENT_USER;
// The settings' own access: full, in the 32-bit view, where the harness looks too.
constexpr std::uint32_t kSeamView = telvaro::win::KEY_WOW64_32KEY;
constexpr std::uint32_t kSeamAllAccess = telvaro::win::KEY_ALL_ACCESS | kSeamView;
constexpr std::uint32_t kSeamString = telvaro::win::REG_SZ;
}  // namespace

#include "E2e.h"

namespace telvaro::e2e {
namespace {

constexpr char kTestKey[] = "SOFTWARE\\TelvaroE2eSeam";

class RealWindowsApiTest : public E2eTest {
 protected:
  void TearDown() override {
    DeleteRegKey(Hive::LocalMachine, kTestKey);
    DeleteRegKey(Hive::CurrentUser, kTestKey);
    E2eTest::TearDown();
  }
  RealWindowsApi api_;
};

// The seam names the predefined roots by their 32-bit values; through the real calls they must
// reach the same keys the harness reaches with the Win32 roots, and report sizes, types and
// errors as the settings code expects.
TEST_F(RealWindowsApiTest, RegistryRoundTripUnderBothRoots) {
  struct Root {
    Hkey seamRoot;
    Hive hive;
  };
  for (Root root :
       {Root{kSeamLocalMachine, Hive::LocalMachine}, Root{kSeamCurrentUser, Hive::CurrentUser}}) {
    Hkey key = 0;
    ASSERT_EQ(api_.RegCreateKeyExA(root.seamRoot, kTestKey, kSeamAllAccess, &key), 0);
    const std::string text = "7";
    EXPECT_EQ(api_.RegSetValueExA(key, "Value", kSeamString,
                                  reinterpret_cast<const std::uint8_t*>(text.c_str()), 2),
              0);
    EXPECT_EQ(ReadRegString(root.hive, kTestKey, "Value"), "7");

    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(api_.RegQueryValueExA(key, "Value", &type, nullptr, &size), 0);
    EXPECT_EQ(type, kSeamString);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(api_.RegQueryValueExA(key, "Missing", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(api_.RegDeleteValueA(key, "Value"), 0);
    EXPECT_EQ(api_.RegCloseKey(key), 0);

    Hkey reopened = 0;
    EXPECT_EQ(api_.RegOpenKeyExA(root.seamRoot, kTestKey, kSeamAllAccess, &reopened), 0);
    EXPECT_NE(reopened, 0u);
    api_.RegCloseKey(reopened);
    EXPECT_EQ(api_.RegDeleteKeyExA(root.seamRoot, kTestKey, kSeamView), 0);
    EXPECT_EQ(api_.RegOpenKeyExA(root.seamRoot, kTestKey, kSeamAllAccess, &reopened),
              ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(RealWindowsApiTest, EnumerationStopsOnFalseAndCarriesExceptionsOut) {
  Process& host = LaunchHandsetHost();
  auto hostWindow = reinterpret_cast<Hwnd>(FindTopWindow(kHandsetHostClass, nullptr, host.Id()));
  ASSERT_NE(hostWindow, 0u);

  int seen = 0;
  bool found = false;
  api_.EnumWindows([&](Hwnd window) {
    ++seen;
    found = found || window == hostWindow;
    return true;
  });
  EXPECT_TRUE(found);

  int visited = 0;
  EXPECT_FALSE(api_.EnumWindows([&](Hwnd) { return ++visited < 2; }));
  EXPECT_EQ(visited, 2);
  EXPECT_GT(seen, visited);

  EXPECT_THROW(api_.EnumWindows([](Hwnd) -> bool { throw std::runtime_error("finder failed"); }),
               std::runtime_error);
}

TEST_F(RealWindowsApiTest, CopyDataStructCrossesProcessesAsCopyDataStruct) {
  Process& host = LaunchHandsetHost();
  auto handset = reinterpret_cast<Hwnd>(WaitForHandset(host.Id()));
  const char command[] = "plug";
  CopyDataStruct data{0, sizeof command, command};
  EXPECT_EQ(api_.SendMessageA(handset, WM_COPYDATA, 0, reinterpret_cast<LParam>(&data)), 1);
  EXPECT_EQ(HandsetState("plugged", host.Id()), true);
}

}  // namespace
}  // namespace telvaro::e2e
