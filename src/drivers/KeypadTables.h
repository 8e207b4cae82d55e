// What the twelve keypad keys mean to each application: virtual-key codes, the captions of the
// dial-pad buttons that are clicked by caption, and the points of the dial pads that are clicked.
#pragma once

#include <array>
#include <cstdint>

namespace telvaro {

struct ClickPoint {
  int x;
  int y;
};

struct KeypadKeyData {
  char key;         // also the character typed by the keystroke techniques
  std::uint8_t vk;  // 0 for hash: each application types it its own way
  const char* sjphoneCaption;
  const char* icqPhoneCaption;
  ClickPoint mediaRing;  // client coordinates of the main window
  ClickPoint yahoo;      // client coordinates of YahooKeypad
  ClickPoint aim;        // client coordinates of AimKeypad
};

inline constexpr std::array<KeypadKeyData, 12> kKeypadKeys{{
    {'1', 0x61, "&1", "1", {39, 208}, {17, 15}, {15, 8}},
    {'2', 0x62, "&2", "2 abc", {90, 208}, {65, 15}, {57, 9}},
    {'3', 0x63, "&3", "3 def", {146, 208}, {114, 15}, {94, 9}},
    {'4', 0x64, "&4", "4 ghi", {40, 230}, {17, 57}, {15, 34}},
    {'5', 0x65, "&5", "5 jkl", {90, 232}, {65, 57}, {57, 34}},
    {'6', 0x66, "&6", "6 mno", {143, 232}, {114, 57}, {93, 32}},
    {'7', 0x67, "&7", "7 prs", {38, 254}, {17, 100}, {16, 57}},
    {'8', 0x68, "&8", "8 tuv", {91, 254}, {65, 100}, {55, 57}},
    {'9', 0x69, "&9", "9 wxy", {145, 254}, {112, 100}, {92, 57}},
    {'0', 0x60, "&0", "0", {97, 277}, {65, 141}, {54, 81}},
    {'*', 0x6A, "&*", "*", {47, 277}, {17, 141}, {14, 80}},
    {'#', 0x00, "&#", "#", {146, 277}, {114, 141}, {93, 82}},
}};

// The X-Lite hash key clicks this point of the main window instead of typing.
inline constexpr ClickPoint kXLiteHashPoint{392, 343};

// Null for a character that is not one of the twelve keys.
inline constexpr const KeypadKeyData* FindKeypadKey(char key) {
  for (const KeypadKeyData& data : kKeypadKeys) {
    if (data.key == key) return &data;
  }
  return nullptr;
}

}  // namespace telvaro
