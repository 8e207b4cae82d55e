// Skype notifications per second through the client's receive path: every `received` line of the
// recorded traces, delivered as Skype delivers them (WM_COPYDATA from its API window, seen by the
// client's hook on the main window) to a client attached with protocol 3, with the events bound
// that the main window binds. Baseline: copying the same bytes with memcpy, in the same run.
//
//   skype_parse_bench [TRACE_FOLDER] [Google Benchmark flags]
//
// Besides Google Benchmark's own report it prints one line per benchmark for scripts/bench.sh:
//   result <name> <notifications per second>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "FakeView.h"
#include "SimDesktop.h"
#include "SimSkype.h"
#include "skype/SkypeControl.h"

namespace telvaro {
namespace {

std::filesystem::path& TraceFolder() {
  static std::filesystem::path folder = TELVARO_TRACE_DIR;
  return folder;
}

// The texts Skype sent, in the order of the trace files (sorted by name) and of their lines.
const std::vector<std::string>& ReceivedTexts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(TraceFolder())) {
      if (entry.path().extension() == ".csv") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> lines;
    constexpr std::string_view kReceived = "received,";
    for (const auto& file : files) {
      std::ifstream in(file);
      for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, kReceived.size(), kReceived) != 0) continue;
        // direction,milliseconds,text: the text runs to the end of the line.
        const std::size_t comma = line.find(',', kReceived.size());
        if (comma != std::string::npos) lines.push_back(line.substr(comma + 1));
      }
    }
    return lines;
  }();
  return texts;
}

// One WM_COPYDATA per text, NUL counted, as Skype sends them.
struct Deliveries {
  explicit Deliveries(const std::vector<std::string>& texts) : buffers(texts) {
    for (std::string& text : buffers) {
      CopyDataStruct data;
      data.dwData = 0;
      data.cbData = static_cast<std::uint32_t>(text.size() + 1);
      data.lpData = text.c_str();
      copies.push_back(data);
    }
  }
  std::vector<std::string> buffers;
  std::vector<CopyDataStruct> copies;
};

void SkypeReceivePath(benchmark::State& state) {
  const std::vector<std::string>& texts = ReceivedTexts();
  if (texts.empty()) {
    state.SkipWithError("no received lines in the trace folder");
    return;
  }
  sim::SimDesktop desktop;
  sim::FakeView view{desktop};
  sim::SimSkype skype{desktop};
  TSkypeControl client{desktop, view};
  client.Attach(3);
  std::int64_t events = 0;
  // What the main window binds: the call tracker, the raw-text handler and the pong.
  client.OnCallInfo = [&events](std::int32_t id, TSkypeCallProperty property,
                                const std::string& data) {
    benchmark::DoNotOptimize(id);
    benchmark::DoNotOptimize(property);
    benchmark::DoNotOptimize(data.data());
    ++events;
  };
  client.OnCopyData = [&events](const std::string& raw) {
    benchmark::DoNotOptimize(raw.data());
    ++events;
  };
  client.OnPong = [&events](TSkypeControl&) { ++events; };
  if (!client.Attached()) {
    state.SkipWithError("the client did not attach to the simulated Skype");
    return;
  }
  Deliveries deliveries(texts);
  for (auto _ : state) {
    for (CopyDataStruct& data : deliveries.copies) {
      TMessage message{win::WM_COPYDATA, static_cast<WParam>(client.ApiWindow()),
                       reinterpret_cast<LParam>(&data), 0};
      benchmark::DoNotOptimize(client.MainWindowHook(message));
    }
  }
  benchmark::DoNotOptimize(events);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(SkypeReceivePath);

void MemcpyOfTheSameBytes(benchmark::State& state) {
  const std::vector<std::string>& texts = ReceivedTexts();
  if (texts.empty()) {
    state.SkipWithError("no received lines in the trace folder");
    return;
  }
  Deliveries deliveries(texts);
  std::vector<char> target(1024 * 64);
  for (auto _ : state) {
    for (const CopyDataStruct& data : deliveries.copies) {
      const std::size_t size = std::min<std::size_t>(data.cbData, target.size());
      std::memcpy(target.data(), data.lpData, size);
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(MemcpyOfTheSameBytes);

// The console report as usual, and the machine-readable lines after it.
class ResultLines : public benchmark::ConsoleReporter {
 public:
  // Plain text: the lines are read by a script.
  ResultLines() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      auto items = run.counters.find("items_per_second");
      if (items != run.counters.end()) rates_[run.benchmark_name()] = items->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [name, rate] : rates_) std::printf("result %s %.0f\n", name.c_str(), rate);
    std::fflush(stdout);
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace
}  // namespace telvaro

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc > 1) telvaro::TraceFolder() = argv[1];
  telvaro::ResultLines reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
