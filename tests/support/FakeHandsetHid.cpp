#include "FakeHandsetHid.h"

#include <algorithm>

namespace telvaro::sim {

// ---- Report descriptor parser --------------------------------------------------------------

namespace {

struct Globals {
  std::uint16_t usagePage = 0;
  std::int32_t logicalMin = 0;
  std::int32_t logicalMax = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

std::uint32_t Unsigned(const std::uint8_t* data, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) v |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  return v;
}

std::int32_t Signed(const std::uint8_t* data, int size) {
  const std::uint32_t v = Unsigned(data, size);
  if (size == 1) return static_cast<std::int8_t>(v);
  if (size == 2) return static_cast<std::int16_t>(v);
  return static_cast<std::int32_t>(v);
}

std::uint32_t Bits(std::span<const std::uint8_t> report, std::uint32_t offset, std::uint32_t size) {
  std::uint32_t v = 0;
  for (std::uint32_t i = 0; i < size; ++i) {
    const std::uint32_t bit = 8 + offset + i;  // byte 0 is the report ID
    if (bit / 8 < report.size() && (report[bit / 8] >> (bit % 8)) & 1) v |= 1u << i;
  }
  return v;
}

void SetBits(Bytes& report, std::uint32_t offset, std::uint32_t size, std::uint32_t value) {
  for (std::uint32_t i = 0; i < size; ++i) {
    const std::uint32_t bit = 8 + offset + i;
    if (bit / 8 >= report.size()) return;
    if ((value >> i) & 1) {
      report[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    } else {
      report[bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
    }
  }
}

}  // namespace

std::vector<std::shared_ptr<DescriptorModel>> ParseReportDescriptor(const Bytes& d) {
  std::vector<std::shared_ptr<DescriptorModel>> out;
  Globals g;
  std::vector<Globals> stack;
  std::vector<HidUsage> usages;
  std::uint32_t usageMin = 0;
  bool haveMin = false;
  int depth = 0;
  std::map<std::pair<int, std::uint8_t>, std::uint32_t> bits;  // shared by the whole device
  std::shared_ptr<DescriptorModel> current;

  auto fullUsage = [&](std::uint32_t v, int size) {
    return size == 4 ? HidUsage{static_cast<std::uint16_t>(v >> 16), static_cast<std::uint16_t>(v)}
                     : HidUsage{g.usagePage, static_cast<std::uint16_t>(v)};
  };
  std::size_t i = 0;
  while (i < d.size()) {
    const std::uint8_t prefix = d[i];
    if (prefix == 0xFE) {  // long item: skipped
      if (i + 1 >= d.size()) break;
      i += 3 + d[i + 1];
      continue;
    }
    const int size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (i + 1 + size > d.size()) break;
    const std::uint8_t* data = &d[i + 1];
    const std::uint32_t u = Unsigned(data, size);
    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;
    i += 1 + size;
    if (type == 0) {      // main
      if (tag == 0x0A) {  // collection
        if (depth == 0 && u == 1) {
          current = std::make_shared<DescriptorModel>();
          current->collection = usages.empty() ? HidUsage{g.usagePage, 0} : usages.front();
          out.push_back(current);
        }
        ++depth;
      } else if (tag == 0x0C) {  // end collection
        if (depth > 0 && --depth == 0) current = nullptr;
      } else if ((tag == 0x08 || tag == 0x09 || tag == 0x0B) && current) {
        DescriptorModel::Field f;
        f.kind = tag == 0x08 ? 0 : tag == 0x09 ? 1 : 2;
        f.reportId = g.reportId;
        f.size = g.reportSize;
        f.count = g.reportCount;
        f.constant = u & 1;
        f.array = !(u & 2);
        f.relative = u & 4;
        f.nullState = u & 0x40;
        f.logicalMin = g.logicalMin;
        f.logicalMax = g.logicalMax;
        f.usages = usages;
        std::uint32_t& offset = bits[{f.kind, f.reportId}];
        f.bitOffset = offset;
        offset += f.size * f.count;
        current->reportBits[{f.kind, f.reportId}] = offset;
        current->fields.push_back(std::move(f));
      }
      usages.clear();
      haveMin = false;
    } else if (type == 1) {  // global
      switch (tag) {
        case 0:
          g.usagePage = static_cast<std::uint16_t>(u);
          break;
        case 1:
          g.logicalMin = Signed(data, size);
          break;
        case 2:
          g.logicalMax = size == 4 ? Signed(data, size) : static_cast<std::int32_t>(u);
          break;
        case 7:
          g.reportSize = u;
          break;
        case 8:
          g.reportId = static_cast<std::uint8_t>(u);
          break;
        case 9:
          g.reportCount = u;
          break;
        case 10:
          stack.push_back(g);
          break;
        case 11:
          if (!stack.empty()) {
            g = stack.back();
            stack.pop_back();
          }
          break;
        default:
          break;
      }
    } else if (type == 2) {  // local
      if (tag == 0) {
        usages.push_back(fullUsage(u, size));
      } else if (tag == 1) {
        usageMin = u;
        haveMin = true;
      } else if (tag == 2 && haveMin) {
        const HidUsage first = fullUsage(usageMin, size);
        const HidUsage last = fullUsage(u, size);
        for (std::uint32_t id = first.id; id <= last.id && id - first.id < 256; ++id) {
          usages.push_back({first.page, static_cast<std::uint16_t>(id)});
        }
        haveMin = false;
      }
    }
  }
  return out;
}

// ---- What HidP answers -----------------------------------------------------------------------

std::size_t DescriptorModel::ReportLength(int kind) const {
  std::uint32_t most = 0;
  for (const auto& [key, count] : reportBits) {
    if (key.first == kind) most = std::max(most, count);
  }
  return most == 0 ? 0 : 1 + (most + 7) / 8;
}

std::vector<HidButton> DescriptorModel::InputButtons() const {
  std::vector<HidButton> out;
  for (const Field& f : fields) {
    if (f.kind != 0 || f.constant || !IsButton(f)) continue;
    const std::size_t n =
        f.array ? f.usages.size() : std::min<std::size_t>(f.count, f.usages.size());
    for (std::size_t i = 0; i < n; ++i) out.push_back({f.usages[i], f.reportId, !f.relative});
  }
  return out;
}

std::optional<std::vector<HidUsage>> DescriptorModel::UsagesOn(
    std::span<const std::uint8_t> report) const {
  if (report.empty() || report.size() != InputReportLength()) return std::nullopt;
  if (!reportBits.count({0, report[0]})) return std::nullopt;
  std::vector<HidUsage> on;
  for (const Field& f : fields) {
    if (f.kind != 0 || f.reportId != report[0] || f.constant || !IsButton(f) || f.usages.empty()) {
      continue;
    }
    for (std::uint32_t e = 0; e < f.count; ++e) {
      const std::uint32_t raw = Bits(report, f.bitOffset + e * f.size, f.size);
      if (f.array) {
        std::int32_t v = static_cast<std::int32_t>(raw);
        if (f.logicalMin < 0 && f.size < 32 && (raw >> (f.size - 1)) & 1) {
          v -= static_cast<std::int32_t>(1u << f.size);
        }
        // A value outside the logical range is no key at all.
        if (v < f.logicalMin || v > f.logicalMax) continue;
        const auto index = static_cast<std::size_t>(v - f.logicalMin);
        if (index < f.usages.size() && f.usages[index].id != 0) on.push_back(f.usages[index]);
      } else if (raw && e < f.usages.size()) {
        on.push_back(f.usages[e]);
      } else if (raw && !f.usages.empty()) {
        on.push_back(f.usages.back());
      }
    }
  }
  return on;
}

std::optional<std::uint8_t> DescriptorModel::OutputReportId(HidUsage usage) const {
  for (const Field& f : fields) {
    if (f.kind == 1 && !f.constant && IsButton(f) &&
        std::find(f.usages.begin(), f.usages.end(), usage) != f.usages.end()) {
      return f.reportId;
    }
  }
  return std::nullopt;
}

// As HidP_InitializeReportForID: zeros, but a value with a null state gets a value outside its
// logical range.
std::vector<std::uint8_t> DescriptorModel::InitializeOutputReport(std::uint8_t reportId) const {
  if (!reportBits.count({1, reportId})) return {};
  Bytes report(OutputReportLength(), 0);
  report[0] = reportId;
  for (const Field& f : fields) {
    if (f.kind != 1 || f.reportId != reportId || f.constant || IsButton(f) || !f.nullState) {
      continue;
    }
    const std::int64_t limit = f.size >= 31 ? (1ll << 31) - 1 : (1ll << f.size) - 1;
    const std::int64_t nullValue = f.logicalMax < limit ? f.logicalMax + 1 : f.logicalMin - 1;
    for (std::uint32_t e = 0; e < f.count; ++e) {
      SetBits(report, f.bitOffset + e * f.size, f.size, static_cast<std::uint32_t>(nullValue));
    }
  }
  return report;
}

bool DescriptorModel::SetOutputUsage(std::vector<std::uint8_t>& report, HidUsage usage,
                                     bool on) const {
  if (report.empty()) return false;
  for (const Field& f : fields) {
    if (f.kind != 1 || f.reportId != report[0] || f.constant || !IsButton(f)) continue;
    const auto it = std::find(f.usages.begin(), f.usages.end(), usage);
    if (it == f.usages.end()) continue;
    const auto index = static_cast<std::uint32_t>(it - f.usages.begin());
    if (f.array) {
      SetBits(report, f.bitOffset, f.size,
              on ? static_cast<std::uint32_t>(f.logicalMin) + index : 0);
    } else {
      SetBits(report, f.bitOffset + index * f.size, f.size, on ? 1 : 0);
    }
    return true;
  }
  return false;
}

std::optional<std::int32_t> DescriptorModel::OutputValue(const Bytes& report,
                                                         HidUsage usage) const {
  if (report.empty()) return std::nullopt;
  for (const Field& f : fields) {
    if (f.kind != 1 || f.reportId != report[0] || IsButton(f) || f.usages.empty() ||
        f.usages.front() != usage) {
      continue;
    }
    return static_cast<std::int32_t>(Bits(report, f.bitOffset, f.size));
  }
  return std::nullopt;
}

std::vector<HidUsage> DescriptorModel::OutputUsagesOn(const Bytes& report) const {
  std::vector<HidUsage> on;
  if (report.empty()) return on;
  for (const Field& f : fields) {
    if (f.kind != 1 || f.reportId != report[0] || f.constant || f.array || f.size != 1) continue;
    for (std::uint32_t e = 0; e < f.count && e < f.usages.size(); ++e) {
      if (Bits(report, f.bitOffset + e, 1)) on.push_back(f.usages[e]);
    }
  }
  return on;
}

Bytes DescriptorModel::InputReport(std::uint8_t id, const std::vector<HidUsage>& on) const {
  Bytes report(InputReportLength(), 0);
  if (report.empty()) return report;
  report[0] = id;
  std::vector<HidUsage> left = on;
  for (const Field& f : fields) {
    if (f.kind != 0 || f.reportId != id || f.constant || !IsButton(f)) continue;
    std::uint32_t element = 0;
    for (std::size_t u = 0; u < f.usages.size(); ++u) {
      const auto it = std::find(left.begin(), left.end(), f.usages[u]);
      if (it == left.end()) continue;
      if (f.array) {
        if (element >= f.count) break;
        SetBits(report, f.bitOffset + element++ * f.size, f.size,
                static_cast<std::uint32_t>(f.logicalMin + static_cast<std::int32_t>(u)));
      } else if (u < f.count) {
        SetBits(report, f.bitOffset + static_cast<std::uint32_t>(u) * f.size, f.size, 1);
      }
      left.erase(it);
    }
  }
  return report;
}

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

std::vector<HidDeviceHandle> FakeHidPlatform::Plug(const Bytes& descriptor) {
  std::vector<HidDeviceHandle> handles;
  for (auto& model : ParseReportDescriptor(descriptor)) {
    const HidDeviceHandle h = nextHandle_++;
    devices_[h] = Device{model, true, true, true, {}};
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
  it->second.written.emplace_back(report.begin(), report.end());
  if (std::find(writing.begin(), writing.end(), device) == writing.end()) writing.push_back(device);
  return true;
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

HidDeviceHandle HidTestProgram::PlugTelephony(const Bytes& descriptor) {
  HidDeviceHandle telephony = 0;
  for (HidDeviceHandle h : hid.Plug(descriptor)) {
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
