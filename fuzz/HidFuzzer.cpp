// Arbitrary input reports through the decoder of every collection of every real device's report
// descriptor (tests/data/hid-devices). The first byte picks the device; the rest is a run of
// reports, each a length byte and that many bytes, a millisecond apart or more, so that a hook
// switch pulse, a held key and a report of any length or ID all come by.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FakeHandsetHid.h"
#include "handset/HidUsageMap.h"
#include "handset/TelephonyDecoder.h"

namespace {

using namespace telvaro;

const std::vector<std::vector<std::shared_ptr<sim::DescriptorModel>>>& Devices() {
  static const auto devices = [] {
    std::vector<std::vector<std::shared_ptr<sim::DescriptorModel>>> all;
    for (const char* file :
         {"polycom-cx300-095d-9201.desc", "jabra-biz-2400-ii-0b0e-2453.desc",
          "plantronics-blackwire-c5220-047f-c053.desc", "epos-impact-d1-1395-009c.desc",
          "logitech-g535-046d-0ac4.desc", "bitfield-keypad-example.desc"}) {
      all.push_back(sim::ParseReportDescriptor(sim::LoadDescriptor(file)));
    }
    // The desk phone as itself, so that its quirks (the pulsing hook switch) are fuzzed too.
    for (auto& model : all.front()) {
      model->vendorId = 0x095D;
      model->productId = 0x9201;
    }
    return all;
  }();
  return devices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto& devices = Devices();
  const auto& device = devices[data[0] % devices.size()];
  for (const auto& model : device) {
    ClassifyCollection(*model);
    TelephonyDecoder decoder(*model);
    std::uint32_t time = 0;
    std::size_t at = 1;
    while (at < size) {
      const std::size_t length = data[at++];
      const std::size_t take = length < size - at ? length : size - at;
      const std::vector<std::uint8_t> report(data + at, data + at + take);
      time += 1 + (take > 0 ? report[0] : 0);
      for (const HandsetKeyEvent& e : decoder.Report(report, time)) {
        // Only codes some handler knows.
        if (e.code < kFirstKeypadKeyCode || e.code > kVolumeDownKeyCode) __builtin_trap();
      }
      at += take;
    }
    decoder.ReleaseAll();
  }
  return 0;
}
