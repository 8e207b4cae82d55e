#include "handset/TelephonyDecoder.h"

#include <algorithm>

namespace telvaro {

namespace {

bool Contains(const std::vector<HidUsage>& list, HidUsage usage) {
  return std::find(list.begin(), list.end(), usage) != list.end();
}

bool IsHook(HidUsage usage) {
  const HidKeyRow* row = FindHidKey(usage);
  return row && row->role == HidKeyRole::HookSwitch;
}

}  // namespace

TelephonyDecoder::TelephonyDecoder(const HidReportModel& model)
    : model_(model), length_(model.InputReportLength()), quirks_(QuirksOf(model)) {
  std::vector<HidUsage> outsideHeadset;
  for (const HidButton& button : model.InputButtons()) {
    absolute_.emplace(button.usage, button.absolute);
    if (button.inHeadset) {
      if (!Contains(headsetOnly_, button.usage)) headsetOnly_.push_back(button.usage);
      continue;
    }
    outsideHeadset.push_back(button.usage);
    const HidKeyRow* row = FindHidKey(button.usage);
    if (row && row->role == HidKeyRole::Key &&
        (row->code == kUpKeyCode || row->code == kDownKeyCode)) {
      menuKeys_ = true;
    }
  }
  std::erase_if(headsetOnly_, [&](HidUsage u) { return Contains(outsideHeadset, u); });
}

int TelephonyDecoder::CodeOf(HidUsage usage) const {
  if (Contains(headsetOnly_, usage)) return 0;
  if (usage == quirks_.alsoBackspace && usage.page != 0) return kBackspaceKeyCode;
  const HidKeyRow* row = FindHidKey(usage);
  if (!row) return 0;
  if (row->role == HidKeyRole::UpDownFallback && menuKeys_) return 0;
  return row->code;
}

std::optional<std::vector<HidUsage>> TelephonyDecoder::OursOn(
    std::span<const std::uint8_t> report) const {
  if (report.empty() || report.size() != length_) return std::nullopt;
  const auto usages = model_.UsagesOn(report);
  if (!usages) return std::nullopt;
  std::vector<HidUsage> now;
  for (HidUsage usage : *usages) {
    if (CodeOf(usage) != 0 && !Contains(now, usage)) now.push_back(usage);
  }
  return now;
}

void TelephonyDecoder::Baseline(std::span<const std::uint8_t> report) {
  auto now = OursOn(report);
  if (!now) return;
  for (HidUsage usage : *now) {
    const auto it = absolute_.find(usage);
    const bool absolute = it == absolute_.end() || it->second;
    if (IsHook(usage) && absolute) offHook_ = true;
  }
  on_[report[0]] = std::move(*now);
}

std::vector<HandsetKeyEvent> TelephonyDecoder::Report(std::span<const std::uint8_t> report,
                                                      std::uint32_t timeMs) {
  std::vector<HandsetKeyEvent> out;
  auto usages = OursOn(report);
  if (!usages) return out;
  now_ = timeMs;
  std::vector<HidUsage> now = std::move(*usages);
  std::vector<HidUsage>& before = on_[report[0]];
  // Keys let go come first, then the hook, then keys pressed: lifting the handset and pressing
  // a key in one report dials into the call the hook has just answered.
  for (HidUsage usage : before) {
    if (!IsHook(usage) && !Contains(now, usage)) Release(usage, out);
  }
  for (HidUsage usage : before) {
    if (IsHook(usage) && !Contains(now, usage)) Release(usage, out);
  }
  for (HidUsage usage : now) {
    if (IsHook(usage) && !Contains(before, usage)) Press(usage, out);
  }
  for (HidUsage usage : now) {
    if (!IsHook(usage) && !Contains(before, usage)) Press(usage, out);
  }
  before = std::move(now);
  return out;
}

void TelephonyDecoder::Press(HidUsage usage, std::vector<HandsetKeyEvent>& out) {
  if (IsHook(usage)) {
    const auto it = absolute_.find(usage);
    const bool absolute = it == absolute_.end() || it->second;
    // An absolute hook switch reports the state; a relative one reports a press that toggles it.
    hookSetAt_ = now_;
    SetHook(absolute ? true : !offHook_, out);
    return;
  }
  const int code = CodeOf(usage);
  held_.push_back({usage, code});
  out.push_back({code, true});
}

void TelephonyDecoder::Release(HidUsage usage, std::vector<HandsetKeyEvent>& out) {
  if (IsHook(usage)) {
    const auto it = absolute_.find(usage);
    if (it != absolute_.end() && !it->second) return;
    // A pulse: the handset was lifted and may still be up. Its put-down will not be reported,
    // so the next lift (or the speaker key's pulse) is a call key again.
    if (quirks_.hookMayPulse && now_ - hookSetAt_ < kHookPulseMs) {
      offHook_ = false;
      return;
    }
    SetHook(false, out);
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
  out.push_back({code, true, true});
  out.push_back({code, false, true});
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
