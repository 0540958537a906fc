// CRC-64 throughput: the slicing-by-16 method against the plain byte-at-a-time table, side by side.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <cstdio>
#include <random>

#include "protocol/Crc64.h"

namespace {
const QByteArray &payload() {
  static const QByteArray data = [] {
    QByteArray d(8 << 20, Qt::Uninitialized);
    std::mt19937_64 rng(42);
    for (auto &c : d) c = char(rng());
    return d;
  }();
  return data;
}

void BM_Crc64_Bytewise(benchmark::State &state) {
  const QByteArray &d = payload();
  for (auto _ : state) benchmark::DoNotOptimize(~Crc64::updateBytewise(~0ULL, d.constData(), size_t(d.size())));
  state.SetBytesProcessed(int64_t(state.iterations()) * d.size());
}

void BM_Crc64_SlicingBy16(benchmark::State &state) {
  const QByteArray &d = payload();
  for (auto _ : state) benchmark::DoNotOptimize(CalcCRC64Buffer(d.constData(), size_t(d.size())));
  state.SetBytesProcessed(int64_t(state.iterations()) * d.size());
}

BENCHMARK(BM_Crc64_Bytewise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc64_SlicingBy16)->Unit(benchmark::kMillisecond);

// Collects both throughputs and prints their ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto &r : runs) {
      const double mbps = r.counters.count("bytes_per_second") ? double(r.counters.at("bytes_per_second")) / 1e6 : 0;
      if (r.benchmark_name().find("Bytewise") != std::string::npos) bytewise_ = mbps;
      if (r.benchmark_name().find("Slicing") != std::string::npos) slicing_ = mbps;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (bytewise_ > 0 && slicing_ > 0)
      std::printf("\nCRC-64 throughput: byte-at-a-time %.0f MB/s, slicing-by-16 %.0f MB/s, ratio %.2fx\n", bytewise_,
                  slicing_, slicing_ / bytewise_);
  }

 private:
  double bytewise_ = 0, slicing_ = 0;
};
}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
