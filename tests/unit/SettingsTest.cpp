#include <gtest/gtest.h>

#include "SimDesktop.h"
#include "settings/DataVerify.h"
#include "settings/MRegistry.h"
#include "settings/clsDialbridgeConfig.h"

namespace telvaro {
namespace {

using sim::SimDesktop;
constexpr Hkey kHklm = win::HKEY_LOCAL_MACHINE;
constexpr Hkey kHkcu = win::HKEY_CURRENT_USER;
constexpr const char* kSettings = "SOFTWARE\\Dialbridge";
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST(StrToIntEx, ConvertsOrFallsBackToTheDefault) {
  struct Case {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"", 7},
      {"abc", 7},
      {" 12", 12},
      {"12", 12},
      {"-5", -5},
      {"+5", 5},
      {"$1F", 31},
      {"0x10", 16},
      {"x10", 16},
      // Hexadecimal texts are numbers like decimal ones, not 32-bit patterns.
      {"$FFFFFFFF", 7},
      {"$80000000", 7},
      {"0xffffffff", 7},
      {"$7FFFFFFF", 2147483647},
      {"x7fffffff", 2147483647},
      {" $1a", 26},
      {"$", 7},
      // The prefixes are "$", "x" and "0x" as written; the sign goes with decimal digits only.
      {"X10", 7},
      {"0X10", 7},
      {"-$10", 7},
      {"+0x10", 7},
      {"2147483647", 2147483647},
      {"2147483648", 7},
      {"-2147483648", -2147483647 - 1},
      {"12 ", 7},
      {"1.5", 7},
      {"   ", 7},
      {"-", 7},
      {"0x", 7},
      {"99999999999999999999", 7},
  };
  TMyDataVerify verify;
  for (const Case& c : cases) {
    EXPECT_EQ(verify.StrToIntEx(c.text, 7), c.expected) << "text: \"" << c.text << "\"";
  }
}

struct LoadCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> stored;
  std::int32_t appIndex;
  std::int32_t language;
  bool autoRun;
};

TEST(TDialbridge, LoadsStoredTextsTolerantly) {
  const LoadCase cases[] = {
      {"nothing stored", {}, 0, 0, true},
      {"AutoRun 0", {{"AutoRun", "0"}}, 0, 0, false},
      {"AutoRun empty", {{"AutoRun", ""}}, 0, 0, true},
      {"AutoRun 1", {{"AutoRun", "1"}}, 0, 0, true},
      {"AutoRun no", {{"AutoRun", "no"}}, 0, 0, true},
      {"AutoRun 00", {{"AutoRun", "00"}}, 0, 0, true},
      {"index abc", {{"CurrentAppIndex", "abc"}}, 0, 0, true},
      {"index blank 12", {{"CurrentAppIndex", " 12"}, {"SkypeLanguage", "3"}}, 12, 3, true},
  };
  for (const LoadCase& c : cases) {
    SimDesktop desktop;
    for (auto [name, value] : c.stored) desktop.SetRegString(kHklm, kSettings, name, value);
    TDialbridge config(desktop);
    EXPECT_TRUE(config.LoadConfig());
    EXPECT_EQ(config.CurrentAppIndex, c.appIndex) << c.name;
    EXPECT_EQ(config.SkypeLanguage, c.language) << c.name;
    EXPECT_EQ(config.AutoRun, c.autoRun) << c.name;
  }
}

TEST(TDialbridge, SavesThreeStringsWithAutoRunAsEmptyOrZero) {
  SimDesktop desktop;
  desktop.SetRegString(kHklm, kSettings, "SkypeLanguage", "4");
  TDialbridge config(desktop);
  config.LoadConfig();
  config.CurrentAppIndex = 14;
  config.AutoRun = true;
  config.SaveConfig();
  EXPECT_EQ(desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "14");
  EXPECT_EQ(desktop.RegString(kHklm, kSettings, "SkypeLanguage"), "4");
  EXPECT_TRUE(desktop.HasRegValue(kHklm, kSettings, "AutoRun"));
  EXPECT_EQ(desktop.RegString(kHklm, kSettings, "AutoRun"), "");
  config.AutoRun = false;
  config.SaveConfig();
  EXPECT_EQ(desktop.RegString(kHklm, kSettings, "AutoRun"), "0");
  EXPECT_EQ(desktop.OpenKeyCount(), 0u) << "every key is closed again";
}

TEST(TDialbridge, UsesTheUsersRootWhereTheMachineRootIsReadOnly) {
  SimDesktop desktop;
  desktop.CreateRegKey(kHklm, kSettings);
  desktop.DenyFullAccess(kHklm);
  {
    TDialbridge config(desktop);
    config.LoadConfig();
    config.CurrentAppIndex = 5;
    config.AutoRun = false;
    config.SaveConfig();
  }
  EXPECT_EQ(desktop.RegValueCount(kHklm, kSettings), 0u);
  EXPECT_EQ(desktop.RegString(kHkcu, kSettings, "CurrentAppIndex"), "5");
  TDialbridge reloaded(desktop);
  reloaded.LoadConfig();
  EXPECT_EQ(reloaded.CurrentAppIndex, 5) << "the choice survives a restart";
  EXPECT_FALSE(reloaded.AutoRun);
}

TEST(TDialbridge, PrefersTheMachineRootWhereItIsWritable) {
  SimDesktop desktop;
  desktop.SetRegString(kHkcu, kSettings, "CurrentAppIndex", "9");
  desktop.SetRegString(kHklm, kSettings, "CurrentAppIndex", "3");
  TDialbridge config(desktop);
  config.LoadConfig();
  EXPECT_EQ(config.CurrentAppIndex, 3);
}

TEST(TMyRegistry, ReadsWithinTheStoredSizeAndRejectsOtherTypes) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    const char* expected;  // nullptr: raises
  } cases[] = {
      {"no NUL at the end", win::REG_SZ, {'1', '2'}, "12"},
      {"embedded NUL", win::REG_SZ, {'7', 0, '9', 0}, "7"},
      {"expand string", win::REG_EXPAND_SZ, {'x', 0}, "x"},
      {"size 0", win::REG_SZ, {}, ""},
      {"dword", win::REG_DWORD, {1, 0, 0, 0}, nullptr},
      {"binary", win::REG_BINARY, {'1', 0}, nullptr},
      {"long text", win::REG_SZ, std::vector<std::uint8_t>(5000, 'a'), nullptr},
  };
  for (const Case& c : cases) {
    SimDesktop desktop;
    desktop.SetRegRaw(kHklm, kSettings, "CurrentAppIndex", c.type, c.data);
    TMyRegistry registry(desktop);
    registry.KeyName = "\\SOFTWARE\\Dialbridge";
    registry.ValueName = "CurrentAppIndex";
    if (c.expected == nullptr && c.type != win::REG_SZ) {
      try {
        registry.ReadString();
        ADD_FAILURE() << c.name << " did not raise";
      } catch (const RegistryError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'CurrentAppIndex'") << c.name;
      }
    } else if (c.expected == nullptr) {
      EXPECT_EQ(registry.ReadString(), std::string(5000, 'a')) << c.name;
    } else {
      EXPECT_EQ(registry.ReadString(), c.expected) << c.name;
    }
    EXPECT_EQ(desktop.OpenKeyCount(), 0u) << c.name;
  }
}

TEST(TMyRegistry, CreateKeyRaisesOnlyWhenTheKeyCanNeitherBeFoundNorCreated) {
  SimDesktop desktop;
  desktop.DenyFullAccess(kHklm);
  desktop.DenyFullAccess(kHkcu);
  TMyRegistry registry(desktop);
  registry.KeyName = "\\SOFTWARE\\Dialbridge";
  try {
    registry.CreateKey();
    ADD_FAILURE() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to create key \\SOFTWARE\\Dialbridge");
  }
  desktop.CreateRegKey(kHklm, kSettings);
  EXPECT_TRUE(registry.CreateKey()) << "an existing read-only key is fine";
  registry.ValueName = "AutoRun";
  registry.ValueData = "0";
  EXPECT_FALSE(registry.WriteString());
  EXPECT_FALSE(registry.DeleteValue());
  EXPECT_EQ(registry.ReadString(), "");
}

struct RunCase {
  const char* name;
  const char* stored;  // nullptr: no value
  bool on;
  const char* expected;  // nullptr: no value afterwards
};

TEST(SyncRunEntry, WritesOrRemovesOnlyOurOwnPath) {
  const std::string path = "C:\\Program Files\\TELVARO\\telvaro.exe";
  const RunCase cases[] = {
      {"on, missing", nullptr, true, "C:\\Program Files\\TELVARO\\telvaro.exe"},
      {"on, moved program", "D:\\old\\telvaro.exe", true,
       "C:\\Program Files\\TELVARO\\telvaro.exe"},
      {"on, other case", "c:\\program files\\telvaro\\telvaro.exe", true,
       "C:\\Program Files\\TELVARO\\telvaro.exe"},
      {"off, ours", "C:\\Program Files\\TELVARO\\telvaro.exe", false, nullptr},
      {"off, another path stays", "D:\\old\\telvaro.exe", false, "D:\\old\\telvaro.exe"},
      {"off, missing", nullptr, false, nullptr},
  };
  for (const RunCase& c : cases) {
    SimDesktop desktop;
    if (c.stored) desktop.SetRegString(kHklm, kRun, "Dialbridge", c.stored);
    TMyRegistry registry(desktop);
    SyncRunEntry(registry, path, c.on);
    EXPECT_EQ(desktop.HasRegValue(kHklm, kRun, "Dialbridge"), c.expected != nullptr) << c.name;
    if (c.expected) {
      EXPECT_EQ(desktop.RegString(kHklm, kRun, "Dialbridge"), c.expected) << c.name;
    }
  }
}

}  // namespace
}  // namespace telvaro
