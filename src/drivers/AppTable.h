// The supported applications: one row each, indexed by the combo box item index.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace telvaro {

struct TPhoneAppUnit {
  std::int32_t AppCode;
  std::string DisplayName;
  std::string WindowTitle;  // replaced at run time for Skype and the Voip rows
  std::string WindowClass;  // may be empty
};

inline constexpr int kAppCount = 25;
using AppTable = std::array<TPhoneAppUnit, kAppCount>;

// App codes, one character per application.
namespace app {
inline constexpr std::int32_t Skype = 'w';
inline constexpr std::int32_t XLite = 'd';
inline constexpr std::int32_t XPro = 'j';
inline constexpr std::int32_t XProVonage = 'm';
inline constexpr std::int32_t XProEngin = 'n';
inline constexpr std::int32_t XLiteXLook = 'o';
inline constexpr std::int32_t SJphone = 'f';
inline constexpr std::int32_t Net2PhoneDialer = 'g';
inline constexpr std::int32_t Net2PhoneCommCenter = 'p';
inline constexpr std::int32_t Msn70 = 'i';
inline constexpr std::int32_t Msn75 = 'v';
inline constexpr std::int32_t Firefly = 'k';
inline constexpr std::int32_t EyeBeam = 'l';
inline constexpr std::int32_t IcqPhone = 'q';
inline constexpr std::int32_t YahooCallCenter = 'r';
inline constexpr std::int32_t AimPhone = 's';
inline constexpr std::int32_t VoipBuster = 'u';
inline constexpr std::int32_t VoipStunt = 'x';
inline constexpr std::int32_t VoipCheap = 'y';
inline constexpr std::int32_t MediaRing = 'z';
inline constexpr std::int32_t PCPhone = '{';
// Today's softphones, after the older rows so that stored indices keep their meaning.
inline constexpr std::int32_t MicroSip = '|';
inline constexpr std::int32_t TelLink = '}';
inline constexpr std::int32_t PhonerLite = '~';
inline constexpr std::int32_t Linphone = 0x7F;
}  // namespace app

// A fresh copy of the table as the program starts with it.
AppTable InitialAppTable();

// The X-Lite family whose main window is looked up by class and title.
bool IsXProFamily(std::int32_t appCode);  // 'o', 'j', 'm', 'n'

}  // namespace telvaro
