// The conversion stages, each fast path against its literal twin, on
// 256 x 212 frames. After the usual table the program prints, for every
// pair measured in this run, literal time / fast time.
//
//   velmira-stage-bench [--benchmark_filter=Search]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "bench/BenchJob.h"
#include "convert/FlatnessMap.h"
#include "convert/PairDither.h"
#include "convert/PaletteSearch.h"
#include "convert/reference/LiteralStages.h"
#include "job/FramePipeline.h"

namespace velmira::bench {
namespace {

const char* KindName(Kind k) {
  return k == Kind::kAnimation ? "animation" : k == Kind::kStill ? "still" : "noise";
}

// One job per (kind, mode, threshold), built on first use.
MemoryJob& JobFor(Kind kind, int32_t mode, int32_t threshold, int32_t count = 48) {
  static std::map<std::tuple<int, int, int, int>, std::unique_ptr<MemoryJob>> jobs;
  auto& slot = jobs[{static_cast<int>(kind), mode, threshold, count}];
  if (!slot) slot = std::make_unique<MemoryJob>(kind, count, mode, threshold);
  return *slot;
}

// This thread's processor time: a frame's slowest search without the
// time the machine gave to others.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// The weights of frames 8..23 of the job, ready for the search.
std::vector<AccumulatedHistogram> WeightsFor(MemoryJob& job) {
  std::vector<AccumulatedHistogram> out;
  PlainNeighbourJudge judge(job.store());
  for (int32_t n = 8; n < 24; ++n) {
    AccumulatedHistogram w{};
    FrameSize size;
    ReadFrameSize(job.frames[n], &size);
    BuildAccumulatedHistogram(job.store(), judge, n, 0, job.settings.endNumber,
                              job.settings.SequenceThreshold, size, w);
    ApplyColourMode(job.settings.ColourMode, w);
    out.push_back(w);
  }
  return out;
}

template <int kPath>  // 0 fast, 1 literal, 2 the gain search without AVX2
void BM_Search(benchmark::State& state) {
  const auto kind = static_cast<Kind>(state.range(0));
  const auto mode = static_cast<int32_t>(state.range(1));
  MemoryJob& job = JobFor(kind, mode, 1);
  const auto weights = WeightsFor(job);
  size_t i = 0;
  Palette palette;
  double slowest = 0;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    palette.Reset();
    if constexpr (kPath == 1) {
      reference::SearchPaletteLiteral(weights[i], *job.table, palette);
    } else if constexpr (kPath == 2) {
      SearchPaletteWith(SearchPath::kScalar, weights[i], *job.table, palette);
    } else {
      SearchPalette(weights[i], *job.table, palette);
    }
    benchmark::DoNotOptimize(palette);
    slowest = std::max(slowest, (ThreadSeconds() - t0) * 1000.0);
    i = (i + 1) % weights.size();
  }
  state.counters["slowest_cpu_ms"] = slowest;
  state.SetLabel(std::string(KindName(kind)) + " mode " + "ABCD"[mode]);
}

void SearchArgs(benchmark::internal::Benchmark* b) {
  for (int kind : {0, 2}) {
    for (int mode : {0, 1, 2, 3}) b->Args({kind, mode});
  }
}
BENCHMARK(BM_Search<0>)->Name("Search/fast")->Apply(SearchArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search<2>)->Name("Search/scalar")->Apply(SearchArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search<1>)->Name("Search/literal")->Apply(SearchArgs)->Unit(benchmark::kMillisecond)->MinTime(0.5);

template <bool kLiteral>
void BM_Flatness(benchmark::State& state) {
  MemoryJob& job = JobFor(Kind::kAnimation, 0, 1);
  auto grid = std::make_unique<PixelGrid>();
  auto map = std::make_unique<FlatnessMap>();
  FrameSize size;
  ReadFrameSize(job.frames[3], &size);
  DecodeFrame(job.frames[3], size, *grid);
  for (auto _ : state) {
    if constexpr (kLiteral) {
      reference::BuildFlatnessMapLiteral(size, *grid, 1, *map);
    } else {
      BuildFlatnessMap(size, *grid, 1, *map);
    }
    benchmark::DoNotOptimize(map->data());
  }
}
BENCHMARK(BM_Flatness<false>)->Name("Flatness/fast")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Flatness<true>)->Name("Flatness/literal")->Unit(benchmark::kMicrosecond);

template <bool kLiteral>
void BM_Dither(benchmark::State& state) {
  MemoryJob& job = JobFor(Kind::kAnimation, 0, 1);
  auto work = std::make_unique<FrameWork>();
  PlainNeighbourJudge judge(job.store());
  const JobContext ctx{job.store(), &job.settings, job.table.get()};
  ConvertFrame(ctx, judge, 3, *work);
  for (auto _ : state) {
    if constexpr (kLiteral) {
      reference::DitherPairsLiteral(work->size, work->grid, work->flatness,
                                    work->palette, work->index);
    } else {
      DitherPairs(work->size, work->grid, work->flatness, work->palette, work->index);
    }
    benchmark::DoNotOptimize(work->index.data());
  }
}
BENCHMARK(BM_Dither<false>)->Name("Dither/fast")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Dither<true>)->Name("Dither/literal")->Unit(benchmark::kMicrosecond);

// The neighbour statistics of every frame of a 48-frame job, per frame.
template <int kJudge>  // 0 literal, 1 plain (SIMD, early exit), 2 shared
void BM_Neighbours(benchmark::State& state) {
  const auto kind = static_cast<Kind>(state.range(0));
  const auto threshold = static_cast<int32_t>(state.range(1));
  MemoryJob& job = JobFor(kind, 0, threshold);
  FrameSize size;
  ReadFrameSize(job.frames[0], &size);
  AccumulatedHistogram w{};
  const int32_t count = job.settings.endNumber + 1;
  for (auto _ : state) {
    std::unique_ptr<NeighbourJudge> judge;
    if constexpr (kJudge == 0) judge = std::make_unique<reference::LiteralNeighbourJudge>(job.store());
    if constexpr (kJudge == 1) judge = std::make_unique<PlainNeighbourJudge>(job.store());
    if constexpr (kJudge == 2) judge = std::make_unique<SharedNeighbourJudge>(job.store(), 0, count - 1);
    for (int32_t n = 0; n < count; ++n) {
      BuildAccumulatedHistogram(job.store(), *judge, n, 0, count - 1, threshold, size, w);
      benchmark::DoNotOptimize(w);
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
  if constexpr (kJudge == 2) {
    // How many differences were summed per frame, from one fresh job.
    SharedNeighbourJudge judge(job.store(), 0, count - 1);
    for (int32_t n = 0; n < count; ++n) {
      BuildAccumulatedHistogram(job.store(), judge, n, 0, count - 1, threshold, size, w);
    }
    state.counters["sums_per_frame"] = static_cast<double>(judge.SumsTaken()) / count;
  }
  state.SetLabel(std::string(KindName(kind)) + " k=" + std::to_string(threshold));
}
void NeighbourArgs(benchmark::internal::Benchmark* b) {
  for (int kind : {0, 1}) {
    for (int k : {0, 1, 4}) b->Args({kind, k});
  }
}
BENCHMARK(BM_Neighbours<2>)->Name("Neighbours/fast")->Apply(NeighbourArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Neighbours<1>)->Name("Neighbours/plain")->Apply(NeighbourArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Neighbours<0>)->Name("Neighbours/literal")->Apply(NeighbourArgs)->Unit(benchmark::kMillisecond);

// One frame through the whole pipeline, no file I/O, one thread.
template <bool kLiteral>
void BM_Frame(benchmark::State& state) {
  MemoryJob& job = JobFor(Kind::kAnimation, 0, 1);
  auto work = std::make_unique<FrameWork>();
  SharedNeighbourJudge judge(job.store(), 0, job.settings.endNumber);
  const JobContext ctx{job.store(), &job.settings, job.table.get()};
  int32_t m = 8;
  for (auto _ : state) {
    if constexpr (kLiteral) {
      ConvertFrameLiteral(ctx, m, *work);
    } else {
      ConvertFrame(ctx, judge, m, *work);
    }
    benchmark::DoNotOptimize(work->image.data());
    m = m == 23 ? 8 : m + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Frame<false>)->Name("Frame/fast")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame<true>)->Name("Frame/literal")->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps every run's time so that main can pair fast with literal.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      std::string name = r.benchmark_name();
      if (const auto at = name.find("/min_time:"); at != std::string::npos) {
        name.erase(at);
      }
      times[name] = r.GetAdjustedRealTime();
      labels[name] = r.report_label;
    }
  }
  std::map<std::string, double> times;
  std::map<std::string, std::string> labels;
};

}  // namespace
}  // namespace velmira::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  velmira::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-34s %-22s %12s %12s %10s\n", "stage", "input", "fast",
              "literal", "ratio");
  for (const auto& [name, fast] : reporter.times) {
    const auto at = name.find("/fast");
    if (at == std::string::npos) continue;
    for (const char* twin : {"/literal", "/plain", "/scalar"}) {
      std::string other = name;
      other.replace(at, 5, twin);
      const auto it = reporter.times.find(other);
      if (it == reporter.times.end()) continue;
      std::printf("%-34s %-22s %12.4g %12.4g %9.1fx  (vs %s)\n", name.c_str(),
                  reporter.labels[name].c_str(), fast, it->second,
                  it->second / fast, twin + 1);
    }
  }
  benchmark::Shutdown();
  return 0;
}
