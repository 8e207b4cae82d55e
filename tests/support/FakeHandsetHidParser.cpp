// The report-descriptor half of FakeHandsetHid: parsing a descriptor into what HidP_* answer,
// and reading the real devices' files. Apart from the rest so that the fuzz targets can link it.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "FakeHandsetHid.h"

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
  // Local usages as written: a one- or two-byte usage takes the usage page in force at the main
  // item, as Windows and Linux read it ("09 07 05 09 81 02" is Button 7).
  struct Local {
    std::uint32_t value;
    int size;
  };
  std::vector<std::pair<Local, Local>> usages;  // a single usage is a range of one, in order
  Local usageMin{0, 0};
  bool haveMin = false;
  std::vector<HidUsage> collections;  // the open collections, outermost first
  std::map<std::pair<int, std::uint8_t>, std::uint32_t> bits;  // shared by the whole device
  std::shared_ptr<DescriptorModel> current;

  auto fullUsage = [&](Local l) {
    return l.size == 4 ? HidUsage{static_cast<std::uint16_t>(l.value >> 16),
                                  static_cast<std::uint16_t>(l.value)}
                       : HidUsage{g.usagePage, static_cast<std::uint16_t>(l.value)};
  };
  auto resolved = [&] {
    std::vector<HidUsage> list;
    for (const auto& [min, max] : usages) {
      const HidUsage first = fullUsage(min);
      const HidUsage last = fullUsage(max);
      for (std::uint32_t id = first.id; id <= last.id && id - first.id < 256; ++id) {
        list.push_back({first.page, static_cast<std::uint16_t>(id)});
      }
    }
    return list;
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
        const std::vector<HidUsage> list = resolved();
        const HidUsage usage = list.empty() ? HidUsage{g.usagePage, 0} : list.front();
        if (collections.empty() && u == 1) {
          current = std::make_shared<DescriptorModel>();
          current->collection = usage;
          out.push_back(current);
        }
        collections.push_back(usage);
      } else if (tag == 0x0C) {  // end collection
        if (!collections.empty()) collections.pop_back();
        if (collections.empty()) current = nullptr;
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
        f.usages = resolved();
        f.inHeadset = std::any_of(collections.begin() + 1, collections.end(), [](HidUsage c) {
          return c == HidUsage{hid::kTelephonyPage, 0x05};
        });
        std::uint32_t& offset = bits[{f.kind, f.reportId}];
        f.bitOffset = offset;
        // Bounded, as a report of a real device is: a count from a broken descriptor must not
        // make the test's reports gigabytes long.
        offset += std::min<std::uint32_t>(f.size * f.count, 1u << 16);
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
          g.reportSize = std::min<std::uint32_t>(u, 32);
          break;
        case 8:
          g.reportId = static_cast<std::uint8_t>(u);
          break;
        case 9:
          g.reportCount = std::min<std::uint32_t>(u, 4096);
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
        usages.emplace_back(Local{u, size}, Local{u, size});
      } else if (tag == 1) {
        usageMin = {u, size};
        haveMin = true;
      } else if (tag == 2 && haveMin) {
        usages.emplace_back(usageMin, Local{u, size});
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
    for (std::size_t i = 0; i < n; ++i) {
      out.push_back({f.usages[i], f.reportId, !f.relative, f.inHeadset});
    }
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

// ---- Real devices' files -------------------------------------------------------------------

namespace {
std::string DataPath(const std::string& file) {
  return std::string(TELVARO_TESTDATA_DIR) + "/hid-devices/" + file;
}
}  // namespace

Bytes LoadDescriptor(const std::string& file) {
  std::ifstream in(DataPath(file));
  Bytes bytes;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    for (std::string hex; words >> hex;) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
    }
  }
  return bytes;
}

std::vector<RecordedReport> LoadReports(const std::string& file, std::uint8_t reportId) {
  std::ifstream in(DataPath(file));
  std::vector<RecordedReport> out;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto bar = line.find('|');
    const auto bar2 = line.find('|', bar + 1);
    if (bar == std::string::npos || bar2 == std::string::npos) continue;
    RecordedReport r;
    unsigned h = 0, m = 0, sec = 0, ms = 0;
    std::sscanf(line.c_str(), "%u:%u:%u.%u", &h, &m, &sec, &ms);
    r.timeMs = ((h * 60 + m) * 60 + sec) * 1000 + ms;
    r.report.push_back(reportId);
    std::istringstream words(line.substr(bar + 1, bar2 - bar - 1));
    for (std::string hex; words >> hex;) {
      r.report.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
    }
    r.what = line.substr(line.find_first_not_of(' ', bar2 + 1));
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace telvaro::sim
