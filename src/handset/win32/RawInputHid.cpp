#include "handset/win32/RawInputHid.h"

#include <windows.h>

#include <dbt.h>

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
constexpr USHORT kHeadset = 0x05;
// Bounds against a broken descriptor: no telephony collection has more.
constexpr ULONG kMaxCaps = 256;
constexpr USHORT kMaxRange = 256;

// One top-level collection, as hid.dll reads it from the preparsed data.
class HidPModel final : public HidReportModel {
 public:
  explicit HidPModel(std::vector<std::uint8_t> preparsed) : preparsed_(std::move(preparsed)) {}

  bool Init(std::uint16_t vendorId, std::uint16_t productId) {
    vendorId_ = vendorId;
    productId_ = productId;
    if (HidP_GetCaps(Data(), &caps_) != HIDP_STATUS_SUCCESS) return false;
    ReadHeadsetNodes();
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
        buttons_.push_back({{c.UsagePage, static_cast<std::uint16_t>(u)},
                            c.ReportID,
                            c.IsAbsolute != FALSE,
                            InHeadset(c.LinkCollection)});
      }
    }
    return true;
  }

  HidUsage Collection() const override { return {caps_.UsagePage, caps_.Usage}; }
  std::uint16_t VendorId() const override { return vendorId_; }
  std::uint16_t ProductId() const override { return productId_; }
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

  std::optional<std::uint8_t> OutputReportId(HidUsage usage) const override {
    if (caps_.OutputReportByteLength == 0) return std::nullopt;
    HIDP_BUTTON_CAPS cap;
    USHORT count = 1;
    if (HidP_GetSpecificButtonCaps(HidP_Output, usage.page, 0, usage.id, &cap, &count, Data()) !=
            HIDP_STATUS_SUCCESS ||
        count == 0) {
      return std::nullopt;
    }
    return cap.ReportID;
  }

  std::vector<std::uint8_t> InitializeOutputReport(std::uint8_t reportId) const override {
    std::vector<std::uint8_t> report(caps_.OutputReportByteLength);
    if (report.empty() || HidP_InitializeReportForID(
                              HidP_Output, reportId, Data(), reinterpret_cast<PCHAR>(report.data()),
                              static_cast<ULONG>(report.size())) != HIDP_STATUS_SUCCESS) {
      return {};
    }
    return report;
  }

  bool SetOutputUsage(std::vector<std::uint8_t>& report, HidUsage usage, bool on) const override {
    if (report.size() != caps_.OutputReportByteLength) return false;
    USAGE id = usage.id;
    ULONG one = 1;
    auto* bytes = reinterpret_cast<PCHAR>(report.data());
    const auto size = static_cast<ULONG>(report.size());
    const NTSTATUS status =
        on ? HidP_SetUsages(HidP_Output, usage.page, 0, &id, &one, Data(), bytes, size)
           : HidP_UnsetUsages(HidP_Output, usage.page, 0, &id, &one, Data(), bytes, size);
    // Clearing a usage that is not set is no failure: it is off, as asked.
    return status == HIDP_STATUS_SUCCESS || (!on && status == HIDP_STATUS_BUTTON_NOT_PRESSED);
  }

 private:
  PHIDP_PREPARSED_DATA Data() const {
    return reinterpret_cast<PHIDP_PREPARSED_DATA>(const_cast<std::uint8_t*>(preparsed_.data()));
  }

  // Which link collections lie inside a Headset collection (the top-level one, node 0, aside:
  // its own usage decides what the collection is).
  void ReadHeadsetNodes() {
    ULONG count = caps_.NumberLinkCollectionNodes;
    if (count == 0 || count > kMaxCaps) return;
    std::vector<HIDP_LINK_COLLECTION_NODE> nodes(count);
    if (HidP_GetLinkCollectionNodes(nodes.data(), &count, Data()) != HIDP_STATUS_SUCCESS) return;
    nodes.resize(count);
    inHeadset_.assign(count, false);
    for (ULONG i = 1; i < count; ++i) {
      // Up through the parents; a broken tree ends the walk after as many steps as nodes.
      ULONG node = i;
      for (ULONG step = 0; step < count && node != 0 && node < count; ++step) {
        if (nodes[node].LinkUsagePage == kTelephonyPage && nodes[node].LinkUsage == kHeadset) {
          inHeadset_[i] = true;
          break;
        }
        node = nodes[node].Parent;
      }
    }
  }
  bool InHeadset(USHORT linkCollection) const {
    return linkCollection < inHeadset_.size() && inHeadset_[linkCollection];
  }

  std::vector<std::uint8_t> preparsed_;
  HIDP_CAPS caps_{};
  std::vector<HidButton> buttons_;
  std::vector<bool> inHeadset_;
  std::uint16_t vendorId_ = 0;
  std::uint16_t productId_ = 0;
};

HANDLE AsHandle(HidDeviceHandle device) { return reinterpret_cast<HANDLE>(device); }

// How long a ringer report may keep the window waiting, and then its cancellation.
constexpr DWORD kWriteWaitMs = 250;
constexpr DWORD kCancelWaitMs = 100;

}  // namespace

// One write in flight: the system writes into it until the write completes.
struct RawInputHid::PendingWrite {
  OVERLAPPED overlapped{};
  std::vector<std::uint8_t> data;
  ~PendingWrite() {
    if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
  }
};

RawInputHid::RawInputHid() = default;

RawInputHid::~RawInputHid() {
  while (!writers_.empty()) CloseDevice(writers_.begin()->first);
}

bool RawInputHid::RegisterForTelephony(Hwnd window) {
  window_ = window;
  // The whole Telephony page and, in the same call, its top-level usages one by one (Phone,
  // Handset, Headset, Key Pad): some systems store a page-only registration as usage 0 and match
  // usages exactly, so it alone would hear nothing. Headsets are listed so that every system
  // hands over what the page registration brings elsewhere; which collection is a handset is
  // decided on what it reports, not here. In the background too, since the softphone, not this
  // window, is in front while the user dials.
  const HWND target = reinterpret_cast<HWND>(window);
  const DWORD flags = RIDEV_INPUTSINK | RIDEV_DEVNOTIFY;
  RAWINPUTDEVICE devices[5] = {
      {kTelephonyPage, 0, RIDEV_PAGEONLY | flags, target},
      {kTelephonyPage, 0x01, flags, target},
      {kTelephonyPage, 0x04, flags, target},
      {kTelephonyPage, 0x05, flags, target},
      {kTelephonyPage, 0x06, flags, target},
  };
  if (RegisterRawInputDevices(devices, 5, sizeof devices[0])) return true;
  // Systems that refuse a page-only registration take the collections alone.
  return RegisterRawInputDevices(devices + 1, 4, sizeof devices[0]) != FALSE;
}

std::optional<std::vector<HidDeviceHandle>> RawInputHid::ListDevices() {
  const auto list = ReadSystemList<RAWINPUTDEVICELIST>(
      [](RAWINPUTDEVICELIST* buffer, unsigned& count) -> long {
        UINT n = count;
        const UINT got = GetRawInputDeviceList(buffer, &n, sizeof(RAWINPUTDEVICELIST));
        count = n;
        return got == static_cast<UINT>(-1) ? -1 : static_cast<long>(got);
      },
      [] { return GetLastError() == ERROR_INSUFFICIENT_BUFFER; });
  if (!list) return std::nullopt;
  std::vector<HidDeviceHandle> found;
  for (const RAWINPUTDEVICELIST& entry : *list) {
    if (entry.dwType != RIM_TYPEHID) continue;
    RID_DEVICE_INFO info{};
    info.cbSize = sizeof info;
    UINT size = sizeof info;
    if (GetRawInputDeviceInfoA(entry.hDevice, RIDI_DEVICEINFO, &info, &size) ==
            static_cast<UINT>(-1) ||
        info.hid.usUsagePage != kTelephonyPage) {
      continue;
    }
    found.push_back(reinterpret_cast<HidDeviceHandle>(entry.hDevice));
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
  RID_DEVICE_INFO info{};
  info.cbSize = sizeof info;
  UINT infoSize = sizeof info;
  const bool known = GetRawInputDeviceInfoA(AsHandle(device), RIDI_DEVICEINFO, &info, &infoSize) !=
                         static_cast<UINT>(-1) &&
                     info.dwType == RIM_TYPEHID;
  auto model = std::make_unique<HidPModel>(std::move(preparsed));
  if (!model->Init(known ? static_cast<std::uint16_t>(info.hid.dwVendorId) : 0,
                   known ? static_cast<std::uint16_t>(info.hid.dwProductId) : 0)) {
    return nullptr;
  }
  lengths_[device] = model->InputReportLength();

  // The file name, for writing the ringer's reports later.
  UINT nameLength = 0;
  GetRawInputDeviceInfoA(AsHandle(device), RIDI_DEVICENAME, nullptr, &nameLength);
  if (nameLength > 0 && nameLength < 4096) {
    std::string name(nameLength, '\0');
    if (GetRawInputDeviceInfoA(AsHandle(device), RIDI_DEVICENAME, name.data(), &nameLength) !=
        static_cast<UINT>(-1)) {
      name.resize(std::strlen(name.c_str()));
      names_[device] = name;
    }
  }
  return model;
}

RawInputHid::Writer* RawInputHid::OpenWriter(HidDeviceHandle device) {
  if (const auto it = writers_.find(device); it != writers_.end()) {
    return it->second.file ? &it->second : nullptr;
  }
  const auto name = names_.find(device);
  if (name == names_.end()) return nullptr;
  // For writing only, sharing everything: another program (a headset's own software, the
  // system) may hold the device open, and reading is none of ours.
  HANDLE file = CreateFileA(name->second.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  Writer& writer = writers_[device];
  writer.file = file;
  // So that the system can take the device back (a driver update, a safe removal) while we
  // hold it: it asks first, and the handle is closed then.
  DEV_BROADCAST_HANDLE filter{};
  filter.dbch_size = sizeof filter;
  filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
  filter.dbch_handle = file;
  if (window_) {
    writer.notification = RegisterDeviceNotificationA(reinterpret_cast<HWND>(window_), &filter,
                                                      DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  return &writer;
}

bool RawInputHid::WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) {
  if (report.empty()) return false;
  Writer* writer = OpenWriter(device);
  // A write that never finished holds the device: no second one behind it.
  if (!writer || writer->stuck) return false;
  auto write = std::make_unique<PendingWrite>();
  write->data.assign(report.begin(), report.end());
  write->overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!write->overlapped.hEvent) return false;
  const auto size = static_cast<DWORD>(write->data.size());
  if (!WriteFile(writer->file, write->data.data(), size, nullptr, &write->overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  // The window waits a little, never long: a device that does not take the report gets it
  // cancelled.
  if (WaitForSingleObject(write->overlapped.hEvent, kWriteWaitMs) != WAIT_OBJECT_0) {
    CancelIoEx(writer->file, &write->overlapped);
    if (WaitForSingleObject(write->overlapped.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) {
      writer->stuck = std::move(write);
      return false;
    }
  }
  DWORD written = 0;
  return GetOverlappedResult(writer->file, &write->overlapped, &written, FALSE) && written == size;
}

void RawInputHid::CloseDevice(HidDeviceHandle device) {
  const auto it = writers_.find(device);
  if (it == writers_.end()) return;
  Writer& writer = it->second;
  if (writer.notification) UnregisterDeviceNotification(writer.notification);
  if (writer.file) CloseHandle(writer.file);
  // Closing cancels a write still in flight, but the system may still complete it into its
  // buffer: that one is left allocated.
  if (writer.stuck) static_cast<void>(writer.stuck.release());
  writers_.erase(it);
}

void RawInputHid::DeviceChange(WParam wParam, LParam lParam) {
  // Only these events carry a DEV_BROADCAST_HDR in lParam.
  const bool removal = wParam == DBT_DEVICEQUERYREMOVE || wParam == DBT_DEVICEREMOVEPENDING ||
                       wParam == DBT_DEVICEREMOVECOMPLETE;
  if (!removal || lParam == 0) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  if (header->dbch_devicetype != DBT_DEVTYP_HANDLE) return;
  const auto* event = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(lParam);
  for (auto& [device, writer] : writers_) {
    if (writer.file == event->dbch_handle) {
      // Let go at once; a later ringer report opens the device anew if it is still there.
      CloseDevice(device);
      return;
    }
  }
}

std::optional<std::vector<std::uint8_t>> RawInputHid::ReadInputReport(HidDeviceHandle device,
                                                                      std::uint8_t reportId) {
  const auto name = names_.find(device);
  const auto length = lengths_.find(device);
  if (name == names_.end() || length == lengths_.end() || length->second == 0) return std::nullopt;
  // No access asked: a get-report request needs none, and the system may hold the device for
  // reading itself.
  HANDLE file = CreateFileA(name->second.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<std::uint8_t> report(length->second);
  report[0] = reportId;
  const BOOL ok = HidD_GetInputReport(file, report.data(), static_cast<ULONG>(report.size()));
  CloseHandle(file);
  if (!ok || report[0] != reportId) return std::nullopt;
  return report;
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
