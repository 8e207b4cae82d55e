// The virtual handset's control commands: what is accepted, and that anything malformed is
// rejected whole rather than half carried out.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../../virtual-handset/HandsetCommand.h"

namespace telvaro::virtual_handset {
namespace {

struct ParseCase {
  std::string_view text;
  std::optional<Command> expected;
};

Command Key(Verb verb, int key, int holdMs = 0) { return Command{verb, key, holdMs}; }

TEST(VirtualHandsetCommand, ParsesValidAndRejectsMalformedCommands) {
  const std::vector<ParseCase> cases = {
      {"plug", Command{Verb::Plug}},
      {"unplug", Command{Verb::Unplug}},
      {"buzzer", Command{Verb::Buzzer}},
      {"scanning", Command{Verb::Scanning}},
      {"plugged", Command{Verb::Plugged}},
      {"sending", Command{Verb::Sending}},
      {"posting", Command{Verb::Posting}},
      {"down 1", Key(Verb::Down, 1)},
      {"up 16", Key(Verb::Up, 16)},
      {"press 6", Key(Verb::Press, 6)},
      {"press 06", Key(Verb::Press, 6)},
      {"hold 11 1500", Key(Verb::Hold, 11, 1500)},
      {"hold 1 0", Key(Verb::Hold, 1, 0)},
      {"hold 1 60000", Key(Verb::Hold, 1, 60000)},
      // Blanks around and between words, as a shell or a hand-typed line leaves them.
      {"  press\t6 \r\n", Key(Verb::Press, 6)},
      // Key codes outside the keypad.
      {"down 0", std::nullopt},
      {"down 17", std::nullopt},
      {"press -1", std::nullopt},
      {"press +1", std::nullopt},
      {"press 99999999999999999999", std::nullopt},
      // Numbers that are not plain decimal.
      {"press 6x", std::nullopt},
      {"press 0x6", std::nullopt},
      {"press six", std::nullopt},
      {"hold 1 60001", std::nullopt},
      {"hold 1 -5", std::nullopt},
      // Wrong number of arguments.
      {"press", std::nullopt},
      {"press 1 2", std::nullopt},
      {"hold 1", std::nullopt},
      {"hold 1 2 3", std::nullopt},
      {"plug now", std::nullopt},
      {"buzzer on", std::nullopt},
      {"sending 1", std::nullopt},
      // Unknown words; commands are lower case only.
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"Plug", std::nullopt},
      {"plugx", std::nullopt},
      {"pres 1", std::nullopt},
      {"down1", std::nullopt},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(ParseCommand(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(VirtualHandsetCommand, PayloadIsBoundByItsSizeAndEndsAtTheFirstNul) {
  const char terminated[] = "press 6";
  const char unterminated[] = {'p', 'l', 'u', 'g', 'X'};
  const char embedded[] = "plug\0unplug";
  EXPECT_EQ(PayloadText(terminated, sizeof terminated), "press 6");
  EXPECT_EQ(PayloadText(unterminated, 4), "plug");
  EXPECT_EQ(PayloadText(embedded, sizeof embedded), "plug");
  EXPECT_EQ(PayloadText(terminated, 0), "");
  EXPECT_EQ(PayloadText(nullptr, 100), "");
}

}  // namespace
}  // namespace telvaro::virtual_handset
