#include "FakeHandsetHid.h"

#include <algorithm>

namespace telvaro::sim {

// ---- Descriptors -------------------------------------------------------------------------------

namespace descriptors {

// From the firmware source of a Realtek-based earphone, as published in
// github.com/wolaite2024/jlab-jh5003-earphone, src/sample/rws/app_hid_descriptor.h
// (BUTTON_VOL_PLAY_CTRL_HID_DESC_ATTRIB and TELEPHONY_HID_DESC_ATTRIB, in the order the device
// lists them). Its hook switch is declared relative (Input 0x06): it toggles.
const Bytes& Earphone() {
  static const Bytes d = {
      0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Consumer Control
      0x85, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x09, 0xE9, 0x81,
      0x02,                                      // Volume Increment
      0x09, 0xEA, 0x81, 0x02,                    // Volume Decrement
      0x09, 0xCD, 0x81, 0x02,                    // Play/Pause
      0x09, 0xB5, 0x81, 0x02,                    // Scan Next Track
      0x09, 0xB6, 0x81, 0x02,                    // Scan Previous Track
      0x95, 0x03, 0x81, 0x01,                    // padding
      0xC0, 0x05, 0x0B, 0x09, 0x05, 0xA1, 0x01,  // Telephony Headset
      0x85, 0x0B, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x09, 0x20, 0x95, 0x01, 0x81,
      0x06,                                                        // Hook Switch (relative)
      0x09, 0x2F, 0x95, 0x01, 0x81, 0x06,                          // Phone Mute
      0x09, 0x24, 0x09, 0x21, 0x09, 0x26, 0x95, 0x03, 0x81, 0x06,  // Redial, Flash, Drop
      0x09, 0x07, 0x05, 0x09, 0x09, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02,  // Button 1
      0x95, 0x02, 0x81, 0x01,                                                  // padding
      0x05, 0x08, 0x15, 0x00, 0x25, 0x01,                                      // LEDs
      0x09, 0x17, 0x09, 0x09, 0x09, 0x18, 0x09, 0x21, 0x09, 0x2A, 0x09, 0x20,  // Off-Hook .. Hold
      0x75, 0x01, 0x95, 0x06, 0x91, 0x22, 0x75, 0x01, 0x95, 0x02, 0x91, 0x01, 0xC0,
  };
  return d;
}

// As published in Apple's IOHIDFamily unit tests (apple-open-source/macos,
// IOHIDFamily/IOHIDFamilyUnitTests/IOHIDHeadsetRemoteTelephonyDescriptor.h).
const Bytes& HeadsetRemote() {
  static const Bytes d = {
      0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
      0x95, 0x02, 0x09, 0xE9, 0x09, 0xEA, 0x81, 0x02, 0x05, 0x0B, 0x95, 0x01,
      0x09, 0x21, 0x81, 0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x03, 0xC0,
  };
  return d;
}

// No published report descriptor of a keypad handset was found; these two are written from
// the HID Usage Tables (Telephony page 0x0B, Consumer page 0x0C, LED page 0x08), laid out the
// way such handsets commonly are: the keys as an array, the hook as a state.
const Bytes& UsageTableHandset() {
  static const Bytes d = {
      0x05, 0x0B, 0x09, 0x01, 0xA1, 0x01,  // Telephony Phone
      0x85, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01,
      0x09, 0x20, 0x81, 0x02,                                      // Hook Switch (absolute)
      0x09, 0x31, 0x81, 0x06,                                      // Send
      0x09, 0x26, 0x81, 0x06,                                      // Drop
      0x09, 0x2F, 0x81, 0x06,                                      // Phone Mute
      0x05, 0x0C, 0x09, 0xE9, 0x09, 0xEA, 0x95, 0x02, 0x81, 0x02,  // Volume Inc, Dec
      0x95, 0x02, 0x81, 0x01,                                      // padding
      0x05, 0x0B, 0x19, 0xB0, 0x29, 0xBB, 0x15, 0x01, 0x25, 0x0C,  // Phone Key 0 .. Pound
      0x75, 0x08, 0x95, 0x01, 0x81, 0x00,                          // one key at a time, 0 = none
      0x85, 0x02, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01,
      0x09, 0x9E, 0x91, 0x02,              // Ringer
      0x05, 0x08, 0x09, 0x17, 0x91, 0x02,  // Off-Hook LED
      0x95, 0x06, 0x91, 0x01,              // padding
      0xC0,
  };
  return d;
}

const Bytes& UsageTableHandsetWithMenuKeys() {
  static const Bytes d = [] {
    Bytes b = UsageTableHandset();
    b.pop_back();  // End Collection
    const Bytes menu = {
        0x85, 0x03, 0x05, 0x0C, 0x15, 0x00, 0x25, 0x01, 0x75,
        0x01, 0x95, 0x02, 0x09, 0x42, 0x09, 0x43, 0x81, 0x02,  // Menu Up, Menu Down
        0x95, 0x06, 0x81, 0x01, 0xC0,
    };
    b.insert(b.end(), menu.begin(), menu.end());
    return b;
  }();
  return d;
}

const Bytes& UsageTableHandsetWithRingVolume() {
  static const Bytes d = [] {
    Bytes b = UsageTableHandset();
    b.pop_back();  // End Collection
    const Bytes volume = {
        // still report 2: a ring volume 0 to 10, 4 bits, with a null state ("no change")
        0x05, 0x0B, 0x09, 0xE0, 0x15, 0x00, 0x25, 0x0A, 0x75, 0x04,
        0x95, 0x01, 0x91, 0x42, 0x95, 0x01, 0x91, 0x01, 0xC0,
    };
    b.insert(b.end(), volume.begin(), volume.end());
    return b;
  }();
  return d;
}

namespace {
// Hook switch, Phone Mute, a volume rocker and the LEDs, in a collection of usage `usage`;
// `keypad` adds the keypad array.
Bytes HeadsetShaped(std::uint8_t usage, bool keypad) {
  Bytes d = {
      0x05, 0x0B, 0x09, usage, 0xA1, 0x01,  // Telephony
      0x85, 0x01, 0x15, 0x00,  0x25, 0x01, 0x75, 0x01, 0x95, 0x01,
      0x09, 0x20, 0x81, 0x02,                                       // Hook Switch
      0x09, 0x2F, 0x81, 0x06,                                       // Phone Mute
      0x05, 0x0C, 0x09, 0xE9,  0x09, 0xEA, 0x95, 0x02, 0x81, 0x02,  // Volume Inc, Dec
      0x95, 0x04, 0x81, 0x01,                                       // padding
  };
  if (keypad) {
    const Bytes keys = {0x05, 0x0B, 0x19, 0xB0, 0x29, 0xBB, 0x15, 0x01,
                        0x25, 0x0C, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00};
    d.insert(d.end(), keys.begin(), keys.end());
  }
  const Bytes leds = {
      0x85, 0x02, 0x05, 0x08, 0x15, 0x00, 0x25, 0x01,
      0x75, 0x01, 0x95, 0x01, 0x09, 0x18, 0x91, 0x02,  // Ring LED
      0x09, 0x17, 0x91, 0x02, 0x95, 0x06, 0x91, 0x01,  // Off-Hook LED, padding
      0xC0,
  };
  d.insert(d.end(), leds.begin(), leds.end());
  return d;
}
}  // namespace

const Bytes& UsageTableHeadset() {
  static const Bytes d = HeadsetShaped(0x05, false);
  return d;
}

const Bytes& PhoneWithoutKeys() {
  static const Bytes d = HeadsetShaped(0x01, false);
  return d;
}

const Bytes& HeadsetWithKeypad() {
  static const Bytes d = HeadsetShaped(0x05, true);
  return d;
}

}  // namespace descriptors

// ---- The system's HID side ---------------------------------------------------------------------

std::vector<HidDeviceHandle> FakeHidPlatform::Plug(const Bytes& descriptor, std::uint16_t vendorId,
                                                   std::uint16_t productId) {
  std::vector<HidDeviceHandle> handles;
  for (auto& model : ParseReportDescriptor(descriptor)) {
    model->vendorId = vendorId;
    model->productId = productId;
    const HidDeviceHandle h = nextHandle_++;
    devices_[h] = Device{model, true, true, true, {}, {}};
    handles.push_back(h);
  }
  return handles;
}

void FakeHidPlatform::Unplug(HidDeviceHandle device) { devices_.at(device).present = false; }

LParam FakeHidPlatform::Input(HidDeviceHandle device, std::vector<Bytes> reports) {
  const LParam token = nextInput_++;
  inputs_[token] = HidInput{device, std::move(reports)};
  return token;
}

bool FakeHidPlatform::Ringing(HidDeviceHandle device) const {
  const Device& d = devices_.at(device);
  if (d.written.empty()) return false;
  for (HidUsage u : d.model->OutputUsagesOn(d.written.back())) {
    if (u == HidUsage{hid::kTelephonyPage, 0x9E} || u == HidUsage{hid::kLedPage, 0x18}) {
      return true;
    }
  }
  return false;
}

std::optional<std::vector<HidDeviceHandle>> FakeHidPlatform::ListDevices() {
  if (listFailures > 0) {
    --listFailures;
    return std::nullopt;
  }
  std::vector<HidDeviceHandle> out;
  for (const auto& [h, d] : devices_) {
    if (d.present && d.listed) out.push_back(h);
  }
  return out;
}

namespace {
// Each open gets a model of its own, as each open of preparsed data does.
class SharedModel final : public HidReportModel {
 public:
  explicit SharedModel(std::shared_ptr<DescriptorModel> m) : m_(std::move(m)) {}
  HidUsage Collection() const override { return m_->Collection(); }
  std::uint16_t VendorId() const override { return m_->VendorId(); }
  std::uint16_t ProductId() const override { return m_->ProductId(); }
  std::size_t InputReportLength() const override { return m_->InputReportLength(); }
  std::vector<HidButton> InputButtons() const override { return m_->InputButtons(); }
  std::optional<std::vector<HidUsage>> UsagesOn(
      std::span<const std::uint8_t> report) const override {
    return m_->UsagesOn(report);
  }
  std::optional<std::uint8_t> OutputReportId(HidUsage usage) const override {
    return m_->OutputReportId(usage);
  }
  std::vector<std::uint8_t> InitializeOutputReport(std::uint8_t reportId) const override {
    return m_->InitializeOutputReport(reportId);
  }
  bool SetOutputUsage(std::vector<std::uint8_t>& report, HidUsage usage, bool on) const override {
    return m_->SetOutputUsage(report, usage, on);
  }

 private:
  std::shared_ptr<DescriptorModel> m_;
};
}  // namespace

std::unique_ptr<HidReportModel> FakeHidPlatform::OpenDevice(HidDeviceHandle device) {
  const auto it = devices_.find(device);
  if (it == devices_.end() || !it->second.present || !it->second.ready) return nullptr;
  opened.push_back(device);
  return std::make_unique<SharedModel>(it->second.model);
}

bool FakeHidPlatform::WriteOutputReport(HidDeviceHandle device,
                                        std::span<const std::uint8_t> report) {
  const auto it = devices_.find(device);
  if (it == devices_.end() || !it->second.present) return false;
  if (writeFailures > 0) {
    --writeFailures;
    return false;
  }
  it->second.written.emplace_back(report.begin(), report.end());
  if (std::find(writing.begin(), writing.end(), device) == writing.end()) writing.push_back(device);
  return true;
}

std::optional<std::vector<std::uint8_t>> FakeHidPlatform::ReadInputReport(HidDeviceHandle device,
                                                                          std::uint8_t reportId) {
  const auto it = devices_.find(device);
  if (it == devices_.end() || !it->second.present) return std::nullopt;
  const auto state = it->second.state.find(reportId);
  if (state == it->second.state.end()) return std::nullopt;
  return state->second;
}

std::optional<HidInput> FakeHidPlatform::ReadInput(LParam rawInput) {
  const auto it = inputs_.find(rawInput);
  if (it == inputs_.end()) return std::nullopt;
  HidInput input = std::move(it->second);
  inputs_.erase(it);
  return input;
}

// ---- A program with both sources ---------------------------------------------------------------

HidTestProgram::HidTestProgram(bool withLibrary, bool create) {
  HandsetSources sources;
  if (withLibrary) sources.Add(library);
  sources.Add(hidSource);
  form = std::make_unique<TMainForm>(desktop, sources, view, app);
  view.dispatch = [this](TMessage& m) {
    if (m.Msg == WM_HANDSET_KEYDOWN) keys_.push_back("down " + std::to_string(m.wParam));
    if (m.Msg == WM_HANDSET_KEYUP) keys_.push_back("up " + std::to_string(m.wParam));
    return form->Dispatch(m);
  };
  handset.observer = [this](const std::string& call) { desktop.Note("handset." + call); };
  if (create) Create();
}

void HidTestProgram::Create() {
  form->FormCreate();
  Deliver();
  desktop.ClearTrace();
  handset.calls.clear();
}

HidTestProgram::~HidTestProgram() { view.dispatch = nullptr; }

void HidTestProgram::Deliver() { desktop.DeliverPosted(); }

void HidTestProgram::Report(HidDeviceHandle device, const std::vector<HidUsage>& on,
                            std::uint8_t id) {
  RawReport(device, hid.Model(device).InputReport(id, on));
}

void HidTestProgram::RawReport(HidDeviceHandle device, Bytes report) {
  desktop.SendMessageA(view.MainWindowHandle(), WM_INPUT, 0,
                       hid.Input(device, {std::move(report)}));
  Deliver();
}

HidDeviceHandle HidTestProgram::PlugTelephony(const Bytes& descriptor, std::uint16_t vendorId,
                                              std::uint16_t productId) {
  HidDeviceHandle telephony = 0;
  for (HidDeviceHandle h : hid.Plug(descriptor, vendorId, productId)) {
    if (hid.Model(h).Collection().page == hid::kTelephonyPage) telephony = h;
  }
  // Raw Input's notice (GIDC_ARRIVAL), which only the HID source takes.
  desktop.SendMessageA(view.MainWindowHandle(), WM_INPUT_DEVICE_CHANGE, 1,
                       static_cast<LParam>(telephony));
  Deliver();
  return telephony;
}

void HidTestProgram::Unplug(HidDeviceHandle device) {
  hid.Unplug(device);
  desktop.SendMessageA(view.MainWindowHandle(), WM_INPUT_DEVICE_CHANGE, 2,
                       static_cast<LParam>(device));
  Deliver();
}

void HidTestProgram::Resume() {
  TMessage resume{win::WM_POWERBROADCAST, win::PBT_APMRESUMEAUTOMATIC, 0, 0};
  form->Dispatch(resume);
  Deliver();
}

std::vector<std::string> HidTestProgram::TakeKeys() {
  std::vector<std::string> out;
  out.swap(keys_);
  return out;
}

}  // namespace telvaro::sim
