// Builders for the trace lines that keystrokes, clicks and typed keys leave on the simulated
// desktop, so that expected traces read as what happens: Sent("Main", KeyDown(0x65)).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace telvaro::sim::trace {

using Lines = std::vector<std::string>;

inline std::string Hex(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llX", v);
  return buf;
}

inline std::string Hex8(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%08llX", v & 0xFFFFFFFFull);
  return buf;
}

// Message bodies: "name, wParam, lParam".
inline std::string Message(const char* name, unsigned long long w, unsigned long long l) {
  return std::string(name) + ", " + Hex(w) + ", " + Hex8(l);
}
inline std::string KeyDown(int vk) { return Message("WM_KEYDOWN", vk, 0x001C0001); }
inline std::string Char(int ch) { return Message("WM_CHAR", ch, 0x001C0001); }
inline std::string KeyUp(int vk) { return Message("WM_KEYUP", vk, 0x401C0001); }
inline std::string ButtonDown(int x, int y) {
  return Message("WM_LBUTTONDOWN", 1, (static_cast<unsigned>(y) << 16) | static_cast<unsigned>(x));
}
inline std::string ButtonUp(int x, int y) {
  return Message("WM_LBUTTONUP", 1, (static_cast<unsigned>(y) << 16) | static_cast<unsigned>(x));
}
inline std::string BmClick() { return Message("BM_CLICK", 0, 0); }

// Trace lines.
inline std::string Sent(const std::string& window, const std::string& body) {
  return "SendMessageA(" + window + ", " + body + ")";
}
inline std::string Posted(const std::string& window, const std::string& body) {
  return "PostMessageA(" + window + ", " + body + ")";
}
inline std::string Find(const char* className, const std::string& title, const std::string& found) {
  const std::string cls = className ? "\"" + std::string(className) + "\"" : "NULL";
  return "FindWindowA(" + cls + ", \"" + title + "\") = " + found;
}
// A top-level window looked up by its class alone.
inline std::string FindClass(const char* className, const std::string& found) {
  return "FindWindowA(\"" + std::string(className) + "\", NULL) = " + found;
}
// A command line handed to MicroSIP: WM_COPYDATA, dwData 1, UTF-16 with its NUL.
inline std::string ToMicroSip(const std::string& window, const std::string& text) {
  return "SendMessageTimeoutW(" + window + ", WM_COPYDATA, 0x0, dwData=1 u\"" + text +
         "\" cb=" + std::to_string((text.size() + 1) * 2) + ", 0x2, 5000)";
}
inline std::string OpenLink(const std::string& link) {
  return "ShellExecuteExW(\"open\", \"" + link + "\", 1)";
}
inline std::string FindButton(const std::string& parent, const std::string& caption,
                              const std::string& found) {
  return "FindWindowExA(" + parent + ", 0, \"Button\", \"" + caption + "\") = " + found;
}
inline std::string Restore(const std::string& window) {
  return "ShowWindow(" + window + ", SW_RESTORE)";
}
inline std::string Foreground(const std::string& window) {
  return "SetForegroundWindow(" + window + ")";
}
inline std::string Press(int vk) { return "keybd_event(" + Hex(vk) + ", 0, 0x100, 0)"; }
inline std::string Release(int vk) { return "keybd_event(" + Hex(vk) + ", 0, 0x2, 0)"; }

// Sequences.
inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Lines SentTriple(const std::string& w, int vk, int ch) {
  return {Sent(w, KeyDown(vk)), Sent(w, Char(ch)), Sent(w, KeyUp(vk))};
}
inline Lines PostedTriple(const std::string& w, int vk, int ch) {
  return {Posted(w, KeyDown(vk)), Posted(w, Char(ch)), Posted(w, KeyUp(vk))};
}
inline Lines SentShiftedHash(const std::string& w) {
  return {Sent(w, KeyDown(0x10)), Sent(w, KeyDown(3)), Sent(w, Char('#')), Sent(w, KeyUp(3)),
          Sent(w, KeyUp(0x10))};
}
inline Lines SentClick(const std::string& w, int x, int y) {
  return {Sent(w, ButtonDown(x, y)), Sent(w, ButtonUp(x, y))};
}
inline Lines PostedClick(const std::string& w, int x, int y) {
  return {Posted(w, ButtonDown(x, y)), Posted(w, ButtonUp(x, y))};
}
inline Lines Tap(int vk) { return {Press(vk), Release(vk)}; }
inline Lines TapShifted(int vk) { return {Press(0x10), Press(vk), Release(vk), Release(0x10)}; }

}  // namespace telvaro::sim::trace
