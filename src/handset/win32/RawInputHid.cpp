#include "handset/win32/RawInputHid.h"

#include <windows.h>

// mingw's HID headers declare C functions without saying so; hidpi.h needs hidusage.h first.
extern "C" {
#include <hidusage.h>

#include <hidpi.h>
#include <hidsdi.h>
}

#include <cstddef>
#include <cstring>

namespace telvaro {

namespace {

constexpr USHORT kTelephonyPage = 0x0B;
// Bounds against a broken descriptor: no telephony collection has more.
constexpr ULONG kMaxCaps = 256;
constexpr USHORT kMaxRange = 256;

// One top-level collection, as hid.dll reads it from the preparsed data.
class HidPModel final : public HidReportModel {
 public:
  explicit HidPModel(std::vector<std::uint8_t> preparsed) : preparsed_(std::move(preparsed)) {}

  bool Init() {
    if (HidP_GetCaps(Data(), &caps_) != HIDP_STATUS_SUCCESS) return false;
    USHORT count = caps_.NumberInputButtonCaps;
    if (count == 0) return true;
    if (count > kMaxCaps) count = kMaxCaps;
    std::vector<HIDP_BUTTON_CAPS> caps(count);
    if (HidP_GetButtonCaps(HidP_Input, caps.data(), &count, Data()) != HIDP_STATUS_SUCCESS) {
      return true;  // no buttons we can name: the collection gives no keys
    }
    for (USHORT i = 0; i < count; ++i) {
      const HIDP_BUTTON_CAPS& c = caps[i];
      const USHORT first = c.IsRange ? c.Range.UsageMin : c.NotRange.Usage;
      USHORT last = c.IsRange ? c.Range.UsageMax : c.NotRange.Usage;
      if (last < first || last - first > kMaxRange) last = first;
      for (unsigned u = first; u <= last; ++u) {
        buttons_.push_back(
            {{c.UsagePage, static_cast<std::uint16_t>(u)}, c.ReportID, c.IsAbsolute != FALSE});
      }
    }
    return true;
  }

  HidUsage Collection() const override { return {caps_.UsagePage, caps_.Usage}; }
  std::size_t InputReportLength() const override { return caps_.InputReportByteLength; }
  std::vector<HidButton> InputButtons() const override { return buttons_; }

  std::optional<std::vector<HidUsage>> UsagesOn(
      std::span<const std::uint8_t> report) const override {
    if (report.empty() || report.size() != caps_.InputReportByteLength) return std::nullopt;
    ULONG length = HidP_MaxUsageListLength(HidP_Input, 0, Data());
    std::vector<USAGE_AND_PAGE> usages(length ? length : 1);
    std::vector<std::uint8_t> copy(report.begin(), report.end());  // HidP takes a PCHAR
    const NTSTATUS status =
        HidP_GetUsagesEx(HidP_Input, 0, usages.data(), &length, Data(),
                         reinterpret_cast<PCHAR>(copy.data()), static_cast<ULONG>(copy.size()));
    // A report of this collection with no buttons in it.
    if (status == HIDP_STATUS_INCOMPATIBLE_REPORT_ID) return std::vector<HidUsage>{};
    if (status != HIDP_STATUS_SUCCESS) return std::nullopt;
    std::vector<HidUsage> on;
    for (ULONG i = 0; i < length && i < usages.size(); ++i) {
      on.push_back({usages[i].UsagePage, usages[i].Usage});
    }
    return on;
  }

  std::optional<std::vector<std::uint8_t>> OutputReport(HidUsage usage, bool on) const override {
    if (caps_.OutputReportByteLength == 0) return std::nullopt;
    HIDP_BUTTON_CAPS cap;
    USHORT count = 1;
    if (HidP_GetSpecificButtonCaps(HidP_Output, usage.page, 0, usage.id, &cap, &count, Data()) !=
            HIDP_STATUS_SUCCESS ||
        count == 0) {
      return std::nullopt;
    }
    std::vector<std::uint8_t> report(caps_.OutputReportByteLength);
    auto* bytes = reinterpret_cast<PCHAR>(report.data());
    const auto size = static_cast<ULONG>(report.size());
    if (HidP_InitializeReportForID(HidP_Output, cap.ReportID, Data(), bytes, size) !=
        HIDP_STATUS_SUCCESS) {
      return std::nullopt;
    }
    if (on) {
      USAGE id = usage.id;
      ULONG one = 1;
      if (HidP_SetUsages(HidP_Output, usage.page, 0, &id, &one, Data(), bytes, size) !=
          HIDP_STATUS_SUCCESS) {
        return std::nullopt;
      }
    }
    return report;
  }

 private:
  PHIDP_PREPARSED_DATA Data() const {
    return reinterpret_cast<PHIDP_PREPARSED_DATA>(const_cast<std::uint8_t*>(preparsed_.data()));
  }

  std::vector<std::uint8_t> preparsed_;
  HIDP_CAPS caps_{};
  std::vector<HidButton> buttons_;
};

HANDLE AsHandle(HidDeviceHandle device) { return reinterpret_cast<HANDLE>(device); }

}  // namespace

RawInputHid::~RawInputHid() {
  for (auto& [device, file] : files_) CloseHandle(file);
}

bool RawInputHid::RegisterForTelephony(Hwnd window) {
  // The whole Telephony page (phones, handsets, headsets, key pads); in the background too,
  // since the softphone, not this window, is in front while the user dials.
  RAWINPUTDEVICE page = {kTelephonyPage, 0, RIDEV_PAGEONLY | RIDEV_INPUTSINK | RIDEV_DEVNOTIFY,
                         reinterpret_cast<HWND>(window)};
  if (RegisterRawInputDevices(&page, 1, sizeof page)) return true;
  // Systems that refuse a page-only registration take the collections one by one.
  RAWINPUTDEVICE each[4];
  const USHORT usages[4] = {0x01, 0x04, 0x05, 0x06};  // Phone, Handset, Headset, Key Pad
  for (int i = 0; i < 4; ++i) {
    each[i] = {kTelephonyPage, usages[i], RIDEV_INPUTSINK | RIDEV_DEVNOTIFY,
               reinterpret_cast<HWND>(window)};
  }
  return RegisterRawInputDevices(each, 4, sizeof each[0]) != FALSE;
}

std::vector<HidDeviceHandle> RawInputHid::ListDevices() {
  std::vector<HidDeviceHandle> found;
  UINT count = 0;
  if (GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) != 0 || count == 0) {
    return found;
  }
  std::vector<RAWINPUTDEVICELIST> list(count);
  const UINT got = GetRawInputDeviceList(list.data(), &count, sizeof(RAWINPUTDEVICELIST));
  if (got == static_cast<UINT>(-1)) return found;
  for (UINT i = 0; i < got && i < list.size(); ++i) {
    if (list[i].dwType != RIM_TYPEHID) continue;
    RID_DEVICE_INFO info{};
    info.cbSize = sizeof info;
    UINT size = sizeof info;
    if (GetRawInputDeviceInfoA(list[i].hDevice, RIDI_DEVICEINFO, &info, &size) ==
            static_cast<UINT>(-1) ||
        info.hid.usUsagePage != kTelephonyPage) {
      continue;
    }
    found.push_back(reinterpret_cast<HidDeviceHandle>(list[i].hDevice));
  }
  return found;
}

std::unique_ptr<HidReportModel> RawInputHid::OpenDevice(HidDeviceHandle device) {
  UINT size = 0;
  if (GetRawInputDeviceInfoA(AsHandle(device), RIDI_PREPARSEDDATA, nullptr, &size) != 0 ||
      size == 0) {
    return nullptr;
  }
  std::vector<std::uint8_t> preparsed(size);
  if (GetRawInputDeviceInfoA(AsHandle(device), RIDI_PREPARSEDDATA, preparsed.data(), &size) ==
      static_cast<UINT>(-1)) {
    return nullptr;
  }
  auto model = std::make_unique<HidPModel>(std::move(preparsed));
  if (!model->Init()) return nullptr;

  UINT nameLength = 0;
  GetRawInputDeviceInfoA(AsHandle(device), RIDI_DEVICENAME, nullptr, &nameLength);
  if (nameLength > 0 && nameLength < 4096) {
    std::string name(nameLength, '\0');
    if (GetRawInputDeviceInfoA(AsHandle(device), RIDI_DEVICENAME, name.data(), &nameLength) !=
        static_cast<UINT>(-1)) {
      name.resize(std::strlen(name.c_str()));
      // Without it the device still gives keys; only its ringer stays silent.
      HANDLE file =
          CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        CloseDevice(device);
        files_[device] = file;
      }
    }
  }
  return model;
}

bool RawInputHid::WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) {
  const auto it = files_.find(device);
  if (it == files_.end() || report.empty()) return false;
  std::vector<std::uint8_t> copy(report.begin(), report.end());
  const auto size = static_cast<ULONG>(copy.size());
  if (HidD_SetOutputReport(it->second, copy.data(), size)) return true;
  DWORD written = 0;
  return WriteFile(it->second, copy.data(), size, &written, nullptr) && written == size;
}

void RawInputHid::CloseDevice(HidDeviceHandle device) {
  const auto it = files_.find(device);
  if (it == files_.end()) return;
  CloseHandle(it->second);
  files_.erase(it);
}

std::optional<HidInput> RawInputHid::ReadInput(LParam rawInput) {
  auto* handle = reinterpret_cast<HRAWINPUT>(rawInput);
  UINT size = 0;
  if (GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0 ||
      size < sizeof(RAWINPUTHEADER) || size > 65536) {
    return std::nullopt;
  }
  // RAWINPUT holds pointers: keep the buffer aligned for them.
  std::vector<std::max_align_t> buffer((size + sizeof(std::max_align_t) - 1) /
                                       sizeof(std::max_align_t));
  if (GetRawInputData(handle, RID_INPUT, buffer.data(), &size, sizeof(RAWINPUTHEADER)) != size) {
    return std::nullopt;
  }
  const auto* raw = reinterpret_cast<const RAWINPUT*>(buffer.data());
  if (raw->header.dwType != RIM_TYPEHID) return std::nullopt;
  const std::size_t dataOffset = offsetof(RAWINPUT, data.hid.bRawData);
  if (size < dataOffset) return std::nullopt;
  const std::size_t each = raw->data.hid.dwSizeHid;
  const std::size_t count = raw->data.hid.dwCount;
  HidInput input;
  input.device = reinterpret_cast<HidDeviceHandle>(raw->header.hDevice);
  if (each == 0 || count > (size - dataOffset) / each) return input;
  const std::uint8_t* data = raw->data.hid.bRawData;
  for (std::size_t i = 0; i < count; ++i) {
    input.reports.emplace_back(data + i * each, data + (i + 1) * each);
  }
  return input;
}

}  // namespace telvaro
