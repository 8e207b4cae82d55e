#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "SimDesktop.h"
#include "TestProgram.h"
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
  bool dialDisplay = true;
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
      {"DialDisplay 0", {{"DialDisplay", "0"}}, 0, 0, true, false},
      {"DialDisplay off beside AutoRun off",
       {{"DialDisplay", "0"}, {"AutoRun", "0"}},
       0,
       0,
       false,
       false},
      {"DialDisplay no", {{"DialDisplay", "no"}}, 0, 0, true, true},
  };
  for (const LoadCase& c : cases) {
    SimDesktop desktop;
    for (auto [name, value] : c.stored) desktop.SetRegString(kHklm, kSettings, name, value);
    TDialbridge config(desktop);
    EXPECT_TRUE(config.LoadConfig());
    EXPECT_EQ(config.CurrentAppIndex, c.appIndex) << c.name;
    EXPECT_EQ(config.SkypeLanguage, c.language) << c.name;
    EXPECT_EQ(config.AutoRun, c.autoRun) << c.name;
    EXPECT_EQ(config.DialDisplay, c.dialDisplay) << c.name;
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

// The rows after the older 21 are stored by index like them, and come back after a restart.
TEST(TDialbridge, TheNewestRowsSurviveARestart) {
  struct Case {
    int row;
    std::int32_t code;
    const char* status;
  };
  const Case cases[] = {
      {21, '|', "MicroSIP is not running."},
      {22, '}', "Calling app (tel: link) is not running."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    sim::TestProgram first;
    first.Select(c.row);
    first.form.FormClose();
    EXPECT_EQ(first.desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), std::to_string(c.row));
    sim::TestProgram second(false);
    second.desktop.CopyRegistryFrom(first.desktop);
    second.form.FormCreate();
    EXPECT_EQ(second.view.selected, c.row);
    EXPECT_EQ(second.form.CurrentAppCode, c.code);
    EXPECT_EQ(second.view.status, c.status);
    EXPECT_EQ(second.view.items.at(static_cast<std::size_t>(c.row)),
              second.form.Apps.at(static_cast<std::size_t>(c.row)).DisplayName);
  }
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

// An elevated run (or an administrator without UAC) can write the machine key, yet what the user
// stored in their own key while it could not stays their choice: read first, written back there,
// and no machine-wide Run entry while it says AutoRun is off.
TEST(TDialbridge, TheUsersValuesComeFirstWhereTheMachineKeyIsWritableToo) {
  sim::TestProgram p(false);
  SimDesktop& desktop = p.desktop;
  desktop.SetRegString(kHkcu, kSettings, "CurrentAppIndex", "9");
  desktop.SetRegString(kHkcu, kSettings, "AutoRun", "0");
  desktop.SetRegString(kHklm, kSettings, "CurrentAppIndex", "3");
  desktop.SetRegString(kHklm, kSettings, "AutoRun", "");
  p.form.FormCreate();
  EXPECT_EQ(p.form.AppConfig->CurrentAppIndex, 9);
  EXPECT_FALSE(p.form.AppConfig->AutoRun);
  EXPECT_FALSE(desktop.HasRegValue(kHklm, kRun, "Dialbridge")) << "no machine-wide Run entry";
  p.form.AppConfig->CurrentAppIndex = 12;
  p.form.AppConfig->SkypeLanguage = 2;
  p.form.AppConfig->SaveConfig();
  EXPECT_EQ(desktop.RegString(kHkcu, kSettings, "CurrentAppIndex"), "12");
  EXPECT_EQ(desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "3");
  EXPECT_EQ(desktop.RegString(kHklm, kSettings, "SkypeLanguage"), "2") << "the rest goes as before";
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

// --- One view for both builds -------------------------------------------------------------------

using View = SimDesktop::RegView;

TEST(RegistryViews, BothBuildsKeepSettingsAndRunEntryInThe32BitView) {
  struct Case {
    const char* name;
    bool program64;
    bool windows64;
  } cases[] = {
      {"x64 build", true, true},
      {"x86 build on 64-bit Windows", false, true},
      {"x86 build on 32-bit Windows", false, false},
  };
  for (const Case& c : cases) {
    SimDesktop desktop;
    desktop.program64 = c.program64;
    desktop.windows64 = c.windows64;
    TDialbridge config(desktop);
    config.LoadConfig();
    config.CurrentAppIndex = 6;
    config.SaveConfig();
    TMyRegistry registry(desktop);
    SyncRunEntry(registry, u"C:\\T\\telvaro.exe", true, true);
    EXPECT_EQ(desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "6") << c.name;
    EXPECT_EQ(desktop.RegString(kHklm, kRun, "Dialbridge"), "C:\\T\\telvaro.exe") << c.name;
    if (c.windows64) {
      EXPECT_FALSE(desktop.HasRegKey(kHklm, kSettings, View::Bit64)) << c.name;
      EXPECT_FALSE(desktop.HasRegValue(kHklm, kRun, "Dialbridge", View::Bit64)) << c.name;
    }
    TDialbridge reloaded(desktop);
    reloaded.LoadConfig();
    EXPECT_EQ(reloaded.CurrentAppIndex, 6) << c.name;
  }
  // The other build, started next on the same machine, reads the same row.
  SimDesktop x86;
  x86.program64 = false;
  TDialbridge stored(x86);
  stored.CurrentAppIndex = 11;
  stored.SaveConfig();
  SimDesktop x64;
  x64.CopyRegistryFrom(x86);
  TDialbridge read(x64);
  read.LoadConfig();
  EXPECT_EQ(read.CurrentAppIndex, 11);
}

struct MigrationCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> in64;
  std::vector<std::pair<const char*, const char*>> in32;
  bool machineWritable;
  std::int32_t appIndex;
  std::int32_t language;
  bool autoRun;
};

TEST(TDialbridge, TakesOverSettingsFromThe64BitViewOnceWhenThe32BitViewHasNone) {
  const MigrationCase cases[] = {
      {"all three",
       {{"CurrentAppIndex", "7"}, {"SkypeLanguage", "3"}, {"AutoRun", "0"}},
       {},
       true,
       7,
       3,
       false},
      {"AutoRun on as empty text",
       {{"CurrentAppIndex", "2"}, {"AutoRun", ""}},
       {},
       true,
       2,
       0,
       true},
      {"the 32-bit view has its own",
       {{"CurrentAppIndex", "7"}},
       {{"AutoRun", ""}},
       true,
       0,
       0,
       true},
      {"into the user's overlay",
       {{"CurrentAppIndex", "7"}, {"AutoRun", "0"}},
       {},
       false,
       7,
       0,
       false},
      {"nothing anywhere", {}, {}, true, 0, 0, true},
  };
  for (const MigrationCase& c : cases) {
    SimDesktop desktop;
    desktop.CreateRegKey(kHklm, kSettings, View::Bit64);
    for (auto [name, value] : c.in64) {
      desktop.SetRegString(kHklm, kSettings, name, value, win::REG_SZ, View::Bit64);
    }
    for (auto [name, value] : c.in32) desktop.SetRegString(kHklm, kSettings, name, value);
    if (!c.machineWritable) desktop.DenyFullAccess(kHklm);
    TDialbridge config(desktop);
    config.LoadConfig();
    EXPECT_EQ(config.CurrentAppIndex, c.appIndex) << c.name;
    EXPECT_EQ(config.SkypeLanguage, c.language) << c.name;
    EXPECT_EQ(config.AutoRun, c.autoRun) << c.name;
    EXPECT_EQ(desktop.RegValueCount(kHklm, kSettings, View::Bit64), c.in64.size())
        << c.name << ": the old copy stays";
    if (c.in64.empty()) continue;
    // From now on the old place is not read: a change there is not seen.
    desktop.SetRegString(kHklm, kSettings, "CurrentAppIndex", "19", win::REG_SZ, View::Bit64);
    TDialbridge restarted(desktop);
    restarted.LoadConfig();
    EXPECT_EQ(restarted.CurrentAppIndex, c.appIndex) << c.name << ", after a restart";
    EXPECT_EQ(restarted.AutoRun, c.autoRun) << c.name << ", after a restart";
    EXPECT_EQ(desktop.OpenKeyCount(), 0u) << c.name;
  }
}

TEST(TDialbridge, ReadsTheMachineValueUnderTheUsersOverlayWhereTheMachineKeyIsReadOnly) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> machine;
    std::vector<std::pair<const char*, const char*>> user;
    std::int32_t appIndex;
    std::int32_t language;
    bool autoRun;
  } cases[] = {
      {"machine only", {{"CurrentAppIndex", "4"}, {"AutoRun", "0"}}, {}, 4, 0, false},
      {"user over machine", {{"CurrentAppIndex", "4"}}, {{"CurrentAppIndex", "6"}}, 6, 0, true},
      {"per value",
       {{"CurrentAppIndex", "4"}, {"SkypeLanguage", "2"}},
       {{"AutoRun", "0"}},
       4,
       2,
       false},
      {"the user's empty AutoRun is on", {{"AutoRun", "0"}}, {{"AutoRun", ""}}, 0, 0, true},
  };
  for (const auto& c : cases) {
    SimDesktop desktop;
    desktop.CreateRegKey(kHklm, kSettings);
    for (auto [name, value] : c.machine) desktop.SetRegString(kHklm, kSettings, name, value);
    for (auto [name, value] : c.user) desktop.SetRegString(kHkcu, kSettings, name, value);
    desktop.DenyFullAccess(kHklm);
    TDialbridge config(desktop);
    config.LoadConfig();
    EXPECT_EQ(config.CurrentAppIndex, c.appIndex) << c.name;
    EXPECT_EQ(config.SkypeLanguage, c.language) << c.name;
    EXPECT_EQ(config.AutoRun, c.autoRun) << c.name;
    for (const std::string& line : desktop.Trace()) {
      if (line.rfind("RegOpenKeyExA(HKLM", 0) == 0) {
        EXPECT_EQ(line, "RegOpenKeyExA(HKLM, \"SOFTWARE\\Dialbridge\", 0x20209) = 0")
            << c.name << ": the machine key is read with read access only";
      }
    }
    config.SaveConfig();
    EXPECT_EQ(desktop.RegValueCount(kHklm, kSettings), c.machine.size()) << c.name;
    EXPECT_EQ(desktop.RegString(kHkcu, kSettings, "CurrentAppIndex"), std::to_string(c.appIndex))
        << c.name << ": writes go to the user's key";
  }
}

// --- The Run entry -------------------------------------------------------------------------------

const std::u16string kBlankPath = u"C:\\Program Files\\TELVARO\\telvaro.exe";
const std::u16string kQuoted = u"\"C:\\Program Files\\TELVARO\\telvaro.exe\"";
const std::u16string kPlainPath = u"C:\\Tools\\telvaro.exe";

struct RunCase {
  const char* name;
  std::u16string path;
  bool on;
  bool machineWritable;
  std::optional<std::u16string> machineBefore;
  std::optional<std::u16string> userBefore;
  std::optional<std::u16string> machineAfter;
  std::optional<std::u16string> userAfter;
  int writes;  // RegSetValueExW calls
  RunEntrySync result = RunEntrySync::Done;
  bool adminOnly = true;  // only administrators can replace the program
};

TEST(SyncRunEntry, KeepsOneEntryThatNamesTheProgramQuotedWhereItHasBlanks) {
  const std::optional<std::u16string> none;
  const std::u16string moved = u"D:\\old\\telvaro.exe";
  const std::u16string otherCase = u"\"c:\\program files\\telvaro\\telvaro.exe\"";
  const RunCase cases[] = {
      {"on, missing, blank", kBlankPath, true, true, none, none, kQuoted, none, 1},
      {"on, missing, no blank", kPlainPath, true, true, none, none, kPlainPath, none, 1},
      {"on, already quoted", kBlankPath, true, true, kQuoted, none, kQuoted, none, 0},
      {"on, already unquoted without blank", kPlainPath, true, true, kPlainPath, none, kPlainPath,
       none, 0},
      {"on, unquoted with blank is rewritten", kBlankPath, true, true, kBlankPath, none, kQuoted,
       none, 1},
      {"on, quoted without blank: written as before", kPlainPath, true, true,
       u"\"" + kPlainPath + u"\"", none, kPlainPath, none, 1},
      {"on, moved program", kBlankPath, true, true, moved, none, kQuoted, none, 1},
      {"on, other letter case", kBlankPath, true, true, otherCase, none, kQuoted, none, 1},
      {"on, read-only machine already ours: no second entry", kBlankPath, true, false, kQuoted,
       none, kQuoted, none, 0},
      {"on, read-only machine ours unquoted: left, no second entry", kBlankPath, true, false,
       kBlankPath, none, kBlankPath, none, 0},
      {"on, read-only machine missing", kBlankPath, true, false, none, none, none, kQuoted, 1},
      {"on, read-only machine holds another", kBlankPath, true, false, moved, none, moved, kQuoted,
       1},
      {"on, user's entry already there", kBlankPath, true, false, none, kQuoted, none, kQuoted, 0},
      {"on, user's unquoted rewritten", kBlankPath, true, false, none, kBlankPath, none, kQuoted,
       1},
      {"on, both: the user's duplicate goes", kBlankPath, true, true, kQuoted, kQuoted, kQuoted,
       none, 0},
      {"on, user's ours, machine writable and missing", kBlankPath, true, true, none, kQuoted, none,
       kQuoted, 0},
      {"off, quoted ours", kBlankPath, false, true, kQuoted, none, none, none, 0},
      {"off, unquoted ours", kBlankPath, false, true, kBlankPath, none, none, none, 0},
      {"off, another path stays", kBlankPath, false, true, moved, none, moved, none, 0},
      {"off, other letter case stays", kBlankPath, false, true, otherCase, none, otherCase, none,
       0},
      {"off, missing", kBlankPath, false, true, none, none, none, none, 0},
      {"off, the user's goes", kBlankPath, false, false, none, kBlankPath, none, none, 0},
      {"off, read-only machine ours", kBlankPath, false, false, kQuoted, none, kQuoted, none, 0,
       RunEntrySync::MachineEntryNeedsAdministrator},
      {"off, read-only machine ours and the user's", kBlankPath, false, false, kQuoted, kQuoted,
       kQuoted, none, 0, RunEntrySync::MachineEntryNeedsAdministrator},
      {"off, read-only machine holds another", kBlankPath, false, false, moved, none, moved, none,
       0},
      // A program its user can replace never gets the entry that starts it for everyone.
      {"on, replaceable: the user's entry", kBlankPath, true, true, none, none, none, kQuoted, 1,
       RunEntrySync::Done, false},
      {"on, replaceable, machine ours: moved to the user's", kBlankPath, true, true, kQuoted, none,
       none, kQuoted, 1, RunEntrySync::Done, false},
      {"on, replaceable, machine and user ours: the machine's goes", kBlankPath, true, true,
       kQuoted, kQuoted, none, kQuoted, 0, RunEntrySync::Done, false},
      {"on, replaceable, read-only machine ours: left, no second", kBlankPath, true, false, kQuoted,
       none, kQuoted, none, 0, RunEntrySync::Done, false},
      {"on, replaceable, machine holds another: stays", kBlankPath, true, true, moved, none, moved,
       kQuoted, 1, RunEntrySync::Done, false},
      {"off, replaceable, machine ours removed", kBlankPath, false, true, kQuoted, none, none, none,
       0, RunEntrySync::Done, false},
  };
  for (const RunCase& c : cases) {
    SimDesktop desktop;
    if (c.machineBefore) desktop.SetRegWideString(kHklm, kRun, "Dialbridge", *c.machineBefore);
    if (c.userBefore) desktop.SetRegWideString(kHkcu, kRun, "Dialbridge", *c.userBefore);
    desktop.CreateRegKey(kHklm, kRun);
    if (!c.machineWritable) desktop.DenyFullAccess(kHklm);
    TMyRegistry registry(desktop);
    EXPECT_EQ(SyncRunEntry(registry, c.path, c.on, c.adminOnly), c.result) << c.name;
    auto value = [&](Hkey root) -> std::optional<std::u16string> {
      if (!desktop.HasRegValue(root, kRun, "Dialbridge")) return std::nullopt;
      return desktop.RegWideString(root, kRun, "Dialbridge");
    };
    EXPECT_EQ(value(kHklm), c.machineAfter) << c.name;
    EXPECT_EQ(value(kHkcu), c.userAfter) << c.name;
    int writes = 0;
    for (const std::string& line : desktop.Trace()) writes += line.rfind("RegSetValue", 0) == 0;
    EXPECT_EQ(writes, c.writes) << c.name;
    EXPECT_EQ(desktop.OpenKeyCount(), 0u) << c.name;
  }
}

TEST(SyncRunEntry, WritesAUtf16RegSzWithItsNulCountedAndRaisesWhenTheWriteIsRefused) {
  SimDesktop desktop;
  TMyRegistry registry(desktop);
  SyncRunEntry(registry, u"C:\\T\\telvaro.exe", true, true);
  const SimDesktop::RegValue* value = desktop.FindRegValue(kHklm, kRun, "Dialbridge");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, win::REG_SZ);
  EXPECT_TRUE(value->wide);
  EXPECT_EQ(desktop.Effects().back(), "RegCloseKey");
  EXPECT_NE(std::find(desktop.Trace().begin(), desktop.Trace().end(),
                      "RegSetValueExW(\"Dialbridge\", 1, \"C:\\T\\telvaro.exe\", 34)"),
            desktop.Trace().end())
      << "16 characters and the NUL, two bytes each";
  ASSERT_EQ(value->data.size(), 34u);
  EXPECT_EQ(value->data[32], 0);
  EXPECT_EQ(value->data[33], 0);

  SimDesktop refusing;
  refusing.RefuseSetValue("Dialbridge");
  TMyRegistry refused(refusing);
  try {
    SyncRunEntry(refused, u"C:\\T\\telvaro.exe", true, true);
    ADD_FAILURE() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Dialbridge'");
  }
  EXPECT_EQ(refusing.OpenKeyCount(), 0u);
}

TEST(SyncRunEntry, NamesAPathOutsideTheAnsiCodePageExactly) {
  // A folder in Cyrillic letters: the ANSI spelling of this path names no file.
  const std::u16string path = u"C:\\Users\\\u0410\u043D\u043D\u0430\\telvaro.exe";
  // Under the user's own folder the program is the user's to replace: the user's entry.
  sim::TestProgram p(false);
  p.desktop.wideModulePath = path;
  p.desktop.programAdminOnly = false;
  ASSERT_EQ(p.desktop.GetModuleFileNameA(), "C:\\Users\\????\\telvaro.exe");
  p.form.FormCreate();
  EXPECT_EQ(p.desktop.RegWideString(kHkcu, kRun, "Dialbridge"), path);
  EXPECT_FALSE(p.desktop.HasRegValue(kHklm, kRun, "Dialbridge"));

  sim::TestProgram restarted(false);
  restarted.desktop.CopyRegistryFrom(p.desktop);
  restarted.desktop.wideModulePath = path;
  restarted.desktop.programAdminOnly = false;
  restarted.form.FormCreate();
  for (const std::string& line : restarted.desktop.Trace()) {
    EXPECT_NE(line.rfind("RegSetValueEx", 0), 0u) << "the entry already names us: " << line;
  }
  restarted.view.autoRun = false;
  restarted.form.FormClose();
  EXPECT_FALSE(restarted.desktop.HasRegValue(kHkcu, kRun, "Dialbridge"));
}

TEST(FormClose, TellsTheUserOnceThatOnlyAnAdministratorCanTurnTheMachineEntryOff) {
  struct Case {
    const char* name;
    bool machineWritable;
    bool machineEntryOurs;
    std::size_t messages;
  } cases[] = {
      {"read-only machine entry of ours", false, true, 1},
      {"writable machine entry", true, true, 0},
      {"no machine entry", false, false, 0},
  };
  for (const Case& c : cases) {
    sim::TestProgram p(false);
    if (c.machineEntryOurs) p.desktop.SetRegWideString(kHklm, kRun, "Dialbridge", kQuoted);
    if (!c.machineWritable) p.desktop.DenyFullAccess(kHklm);
    p.form.FormCreate();
    p.view.autoRun = false;
    p.form.FormClose();
    ASSERT_EQ(p.desktop.messageBoxes.size(), c.messages) << c.name;
    EXPECT_EQ(p.desktop.RegString(c.machineWritable ? kHklm : kHkcu, kSettings, "AutoRun"), "0")
        << c.name << ": the choice is saved all the same";
    if (c.messages == 0) continue;
    EXPECT_EQ(p.desktop.messageBoxes[0], kRunEntryNeedsAdministrator);
    EXPECT_NE(p.desktop.messageBoxes[0].find("administrator"), std::string::npos);
    EXPECT_FALSE(p.desktop.HasRegValue(kHkcu, kRun, "Dialbridge")) << "no entry of the user's";

    sim::TestProgram restarted(false);
    restarted.desktop.CopyRegistryFrom(p.desktop);
    restarted.form.FormCreate();
    EXPECT_FALSE(restarted.view.autoRun);
    restarted.form.FormClose();
    EXPECT_TRUE(restarted.desktop.messageBoxes.empty()) << "not again at every start and close";
  }
}

TEST(FormClose, TheSessionEndsWithoutTheAdministratorMessage) {
  sim::TestProgram p(false);
  p.desktop.SetRegWideString(kHklm, kRun, "Dialbridge", kQuoted);
  p.desktop.DenyFullAccess(kHklm);
  p.form.FormCreate();
  p.view.autoRun = false;
  p.form.EndSession();
  EXPECT_TRUE(p.desktop.messageBoxes.empty()) << "a dialog would hold up the session's end";
  EXPECT_EQ(p.desktop.RegString(kHkcu, kSettings, "AutoRun"), "0");
}

}  // namespace
}  // namespace telvaro
