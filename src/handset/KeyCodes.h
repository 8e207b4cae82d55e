// The handset key codes every source reports in wParam of the key-down and key-up messages. The
// library's handset has codes 1 to 16; standard USB phones add keys it never had, numbered after.
#pragma once

namespace telvaro {

enum HandsetKeyCode : int {
  // The keypad, down its columns: 1, 4, 7, *, then 2, 5, 8, 0, then 3, 6, 9, #.
  kFirstKeypadKeyCode = 1,
  kZeroKeyCode = 8,
  kLastKeypadKeyCode = 12,
  kCallKeyCode = 13,
  kHangUpKeyCode = 14,
  kUpKeyCode = 15,
  kDownKeyCode = 16,
  // Keys of standard USB phones only.
  kRedialKeyCode = 17,
  kBackspaceKeyCode = 18,  // the Telephony page's Button 1 on a desk phone: delete / reject
  kFlashKeyCode = 19,
  kMuteKeyCode = 20,
  // A handset's volume keys: Up and Down only where Up and Down browse a list.
  kVolumeUpKeyCode = 21,
  kVolumeDownKeyCode = 22,
};

}  // namespace telvaro

namespace telvaro {

// The character of a keypad key code, 0 for any other code.
constexpr char KeypadKeyForCode(int code) {
  constexpr const char* kKeys = "147*2580369#";
  return code >= kFirstKeypadKeyCode && code <= kLastKeypadKeyCode
             ? kKeys[code - kFirstKeypadKeyCode]
             : '\0';
}

}  // namespace telvaro
