#include "drivers/Finders.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "drivers/AppTable.h"

namespace telvaro {

namespace {

// Titles and classes are read into 255-byte buffers with a count of 254, so the platform copies
// at most 253 characters: longer titles arrive cut, which the Voip title match tolerates.
constexpr int kTitleCount = 254;
constexpr std::size_t kTitleBuffer = 255;
constexpr int kClassOnlyCount = 1024;
constexpr std::size_t kClassOnlyBuffer = 1025;

constexpr const char* kSkypePageControlClass = "TTntPageControl.UnicodeClass";
constexpr const char* kMsnConversationClass = "IMWindowClass";
constexpr const char* kFireflyMultiButtonText = "system.multibutton2";

// The buffer is zeroed and never handed out whole, so a string always ends inside it even when
// the callee forgets the NUL.
template <std::size_t N>
std::string UpToFirstNul(const std::array<char, N>& buffer) {
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

}  // namespace

Finders::TitleAndClass Finders::ReadTitleAndClass(Hwnd h) {
  std::array<char, kTitleBuffer> title{};
  std::array<char, kTitleBuffer> className{};
  api_.GetWindowTextA(h, title.data(), kTitleCount);
  api_.GetClassNameA(h, className.data(), kTitleCount);
  return {UpToFirstNul(title), UpToFirstNul(className)};
}

std::string Finders::ReadClassOnly(Hwnd h) {
  std::array<char, kClassOnlyBuffer> className{};
  api_.GetClassNameA(h, className.data(), kClassOnlyCount);
  return UpToFirstNul(className);
}

// The sizes the finders match are the target program's own. Windows answers us, a per-monitor
// DPI-aware caller, in physical pixels for a window that is not aware, so on a scaled display an
// old program's 158 x 14 edit reads 237 x 21 at 150 %. Reading under the window's own awareness
// gives its program's view; where the system has no awareness contexts the rectangle read is
// converted instead.
bool Finders::ReadOwnClientRect(Hwnd h, Rect* r) {
  const DpiContext own = api_.GetWindowDpiAwarenessContext(h);
  const DpiContext ours = own != 0 ? api_.SetThreadDpiAwarenessContext(own) : 0;
  const bool read = api_.GetClientRect(h, r);
  if (ours != 0) {
    api_.SetThreadDpiAwarenessContext(ours);
    return read;
  }
  return read && api_.PhysicalToLogicalClientRect(h, r);
}

bool Finders::ClientSizeIs(Hwnd h, int width, int height) {
  Rect r;
  if (!ReadOwnClientRect(h, &r)) return false;
  return r.right == width && r.bottom == height;
}

bool Finders::FindSkypeMainWindow(Hwnd h) {
  const TitleAndClass w = ReadTitleAndClass(h);
  if (!w.className.empty() && w.className == kSkypeMainWindowClass) {
    found_.SkypeTitle = w.title;
    found_.SkypeMainWindow = h;
  }
  return true;
}

bool Finders::FindVoipWindow(Hwnd h, const char* name, VoipWindows& fields) {
  const TitleAndClass w = ReadTitleAndClass(h);
  if (!w.className.empty() && CountOccurrences(w.title, name) > 0) {
    fields.Title = w.title;
    fields.Window = h;
  }
  return true;
}

bool Finders::FindVoipBusterWindow(Hwnd h) {
  return FindVoipWindow(h, "VoipBuster", found_.VoipBuster);
}

bool Finders::FindVoipStuntWindow(Hwnd h) {
  return FindVoipWindow(h, "VoipStunt", found_.VoipStunt);
}

bool Finders::FindVoipCheapWindow(Hwnd h) {
  return FindVoipWindow(h, "VoipCheap", found_.VoipCheap);
}

bool Finders::FindMsnConversationWindow(Hwnd h) {
  const TitleAndClass w = ReadTitleAndClass(h);
  if (!w.className.empty() && w.className == kMsnConversationClass) {
    found_.MsnConversationTitle = w.title;
  }
  return true;
}

bool Finders::FindSkypeControls(Hwnd h) {
  // The page control is Skype's own; with another target selected the field must stay as it is.
  if (currentAppCode_ != app::Skype) return true;
  const TitleAndClass w = ReadTitleAndClass(h);
  if (!w.className.empty() && w.className == kSkypePageControlClass) {
    found_.SkypePageControl = h;
  }
  return true;
}

bool Finders::FindIcqPhoneEdit(Hwnd h) {
  if (ReadClassOnly(h) == "Edit" && ClientSizeIs(h, 158, 14)) found_.IcqPhoneEdit = h;
  return true;
}

bool Finders::FindYahooToolbars(Hwnd h) {
  if (ReadClassOnly(h) != "ygxa_toolbar") return true;
  if (ClientSizeIs(h, 140, 160)) {
    found_.YahooKeypad = h;
  } else if (ClientSizeIs(h, 84, 34)) {
    // The call and hang-up buttons look alike; only the enumeration order tells them apart.
    if (found_.YahooButtonTurn == 0) {
      found_.YahooCallButton = h;
      found_.YahooButtonTurn = 1;
    } else if (found_.YahooButtonTurn == 1) {
      found_.YahooHangUpButton = h;
      found_.YahooButtonTurn = 0;
    }
  }
  return true;
}

bool Finders::FindVoipControls(Hwnd h, VoipWindows& fields) {
  const std::string className = ReadClassOnly(h);
  if (className == "ContactListCtrl") {
    fields.ContactList = h;
  } else if (className == "Edit") {
    fields.Edit = h;
  }
  return true;
}

bool Finders::FindVoipBusterControls(Hwnd h) { return FindVoipControls(h, found_.VoipBuster); }

bool Finders::FindVoipStuntControls(Hwnd h) { return FindVoipControls(h, found_.VoipStunt); }

bool Finders::FindVoipCheapControls(Hwnd h) { return FindVoipControls(h, found_.VoipCheap); }

bool Finders::FindAimKeypad(Hwnd h) {
  if (ReadClassOnly(h) == "TPanel" && ClientSizeIs(h, 114, 96)) found_.AimKeypad = h;
  return true;
}

bool Finders::FindFireflyMultiButton(Hwnd h) {
  const TitleAndClass w = ReadTitleAndClass(h);
  if (!w.title.empty() && w.title == kFireflyMultiButtonText) found_.FireflyMultiButton = h;
  return true;
}

bool Finders::FindNet2PhoneControls(Hwnd h) {
  const std::string className = ReadClassOnly(h);
  Rect r;
  if (className == "Edit") {
    if (ReadOwnClientRect(h, &r) && r.right > 96 && r.bottom == 15) found_.Net2PhoneEdit = h;
  } else if (className == "Button" && ClientSizeIs(h, 59, 24)) {
    // Hang-up comes first in the dialer's child order, call second.
    Hwnd& field =
        found_.Net2PhoneButtonTurn == 0 ? found_.Net2PhoneHangUpButton : found_.Net2PhoneCallButton;
    field = h;
    found_.Net2PhoneButtonTurn = found_.Net2PhoneButtonTurn + 1 >= 2 ? 0 : 1;
  }
  return true;
}

namespace {

// Measures up to the first NUL, as the Windows strings these helpers receive are measured.
std::size_t CountedLength(const std::string& s) { return std::min(s.find('\0'), s.size()); }

}  // namespace

int CountOccurrences(const std::string& s, const std::string& sub) {
  const std::size_t n = CountedLength(s);
  const std::size_t m = CountedLength(sub);
  if (n == 0 || m == 0 || m > n) return 0;
  int count = 0;
  for (std::size_t p = 0; p + m <= n; ++p) {
    if (std::memcmp(s.data() + p, sub.data(), m) == 0) ++count;
  }
  return count;
}

std::string TailFrom(const std::string& s, int from) {
  const std::size_t n = CountedLength(s);
  if (from <= 1) return s.substr(0, n);
  const auto start = static_cast<std::size_t>(from - 1);
  if (start >= n) return {};
  return s.substr(start, n - start);
}

}  // namespace telvaro
