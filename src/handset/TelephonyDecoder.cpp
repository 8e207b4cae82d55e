#include "handset/TelephonyDecoder.h"

#include <algorithm>

#include "handset/HidUsageMap.h"

namespace telvaro {

namespace {

bool Contains(const std::vector<HidUsage>& list, HidUsage usage) {
  return std::find(list.begin(), list.end(), usage) != list.end();
}

}  // namespace

TelephonyDecoder::TelephonyDecoder(const HidReportModel& model)
    : model_(model), length_(model.InputReportLength()) {
  for (const HidButton& button : model.InputButtons()) {
    absolute_.emplace(button.usage, button.absolute);
    const HidKeyRow* row = FindHidKey(button.usage);
    if (row && row->role == HidKeyRole::Key &&
        (row->code == kUpKeyCode || row->code == kDownKeyCode)) {
      menuKeys_ = true;
    }
  }
}

int TelephonyDecoder::CodeOf(HidUsage usage) const {
  const HidKeyRow* row = FindHidKey(usage);
  if (!row) return 0;
  if (row->role == HidKeyRole::UpDownFallback && menuKeys_) return 0;
  return row->code;
}

std::vector<HandsetKeyEvent> TelephonyDecoder::Report(std::span<const std::uint8_t> report) {
  std::vector<HandsetKeyEvent> out;
  if (report.empty() || report.size() != length_) return out;
  const auto usages = model_.UsagesOn(report);
  if (!usages) return out;
  std::vector<HidUsage> now;
  for (HidUsage usage : *usages) {
    if (CodeOf(usage) != 0 && !Contains(now, usage)) now.push_back(usage);
  }
  std::vector<HidUsage>& before = on_[report[0]];
  // Keys let go come first, then the hook, then keys pressed: lifting the handset and pressing
  // a key in one report dials into the call the hook has just answered.
  const auto isHook = [](HidUsage u) { return FindHidKey(u)->role == HidKeyRole::HookSwitch; };
  for (HidUsage usage : before) {
    if (!isHook(usage) && !Contains(now, usage)) Release(usage, out);
  }
  for (HidUsage usage : before) {
    if (isHook(usage) && !Contains(now, usage)) Release(usage, out);
  }
  for (HidUsage usage : now) {
    if (isHook(usage) && !Contains(before, usage)) Press(usage, out);
  }
  for (HidUsage usage : now) {
    if (!isHook(usage) && !Contains(before, usage)) Press(usage, out);
  }
  before = std::move(now);
  return out;
}

void TelephonyDecoder::Press(HidUsage usage, std::vector<HandsetKeyEvent>& out) {
  const HidKeyRow* row = FindHidKey(usage);
  if (row->role == HidKeyRole::HookSwitch) {
    const auto it = absolute_.find(usage);
    const bool absolute = it == absolute_.end() || it->second;
    // An absolute hook switch reports the state; a relative one reports a press that toggles it.
    SetHook(absolute ? true : !offHook_, out);
    return;
  }
  const int code = CodeOf(usage);
  held_.push_back({usage, code});
  out.push_back({code, true});
}

void TelephonyDecoder::Release(HidUsage usage, std::vector<HandsetKeyEvent>& out) {
  const HidKeyRow* row = FindHidKey(usage);
  if (row->role == HidKeyRole::HookSwitch) {
    const auto it = absolute_.find(usage);
    if (it == absolute_.end() || it->second) SetHook(false, out);
    return;
  }
  const auto it =
      std::find_if(held_.begin(), held_.end(), [usage](const Held& h) { return h.usage == usage; });
  if (it == held_.end()) return;
  out.push_back({it->code, false});
  held_.erase(it);
}

void TelephonyDecoder::SetHook(bool offHook, std::vector<HandsetKeyEvent>& out) {
  if (offHook == offHook_) return;
  offHook_ = offHook;
  // The hook is no key that is held: its press is complete at once, so a key-up always follows.
  const int code = offHook ? kCallKeyCode : kHangUpKeyCode;
  out.push_back({code, true});
  out.push_back({code, false});
}

void TelephonyDecoder::ForgetHeld() { held_.clear(); }

std::vector<HandsetKeyEvent> TelephonyDecoder::ReleaseAll() {
  std::vector<HandsetKeyEvent> out;
  for (const Held& h : held_) out.push_back({h.code, false});
  held_.clear();
  on_.clear();
  return out;
}

}  // namespace telvaro
