// The figures every benchmark binary states, in one line format that scripts/bench gathers into
// one table:
//
//   FIGURE<TAB>figure<TAB>measured<TAB>baseline<TAB>baseline measured<TAB>ratio<TAB>target<TAB>verdict
//
// Measured values are medians with their spread (the range of the middle half of the samples);
// a ratio is the median of per-iteration ratios when both sides ran in the same iterations, and
// the ratio of the medians otherwise. The verdict is PASS or FAIL against the target, or "-" for a
// figure that is only stated. A benchmark records its figure after its loop; when Google Benchmark
// runs a function more than once, the last run's figure stands.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

class Samples {
 public:
  void Add(double value) { values_.push_back(value); }
  bool Empty() const { return values_.empty(); }
  std::size_t Count() const { return values_.size(); }
  const std::vector<double>& Values() const { return values_; }

  // Linear interpolation between the nearest ranks; 0 for no samples.
  double Quantile(double q) const {
    if (values_.empty()) return 0;
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const double rank = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(rank);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (rank - static_cast<double>(below));
  }
  double Median() const { return Quantile(0.5); }

 private:
  std::vector<double> values_;
};

struct Figure {
  std::string name;
  std::string measured;
  std::string baseline = "-";
  std::string baselineMeasured = "-";
  std::string ratio = "-";
  std::string target = "-";
  std::string verdict = "-";
};

inline std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

inline void Record(Figure figure) {
  auto& figures = Figures();
  for (auto& kept : figures) {
    if (kept.name == figure.name) {
      kept = std::move(figure);
      return;
    }
  }
  figures.push_back(std::move(figure));
}

inline std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// "12.3 ms [12.1-12.6] n=9"
inline std::string Describe(const Samples& samples, const std::string& unit) {
  return Format("%.4g ", samples.Median()) + unit +
         Format(" [%.4g-%.4g]", samples.Quantile(0.25), samples.Quantile(0.75)) +
         " n=" + std::to_string(samples.Count());
}

// A figure whose median must not exceed `most` (in the samples' unit).
inline void RecordLimit(const std::string& name, const Samples& samples, const std::string& unit,
                        double most) {
  Figure figure{name, Describe(samples, unit)};
  figure.target = Format("<= %.4g ", most) + unit;
  figure.verdict = samples.Median() <= most ? "PASS" : "FAIL";
  Record(std::move(figure));
}

// A figure that is only stated.
inline void RecordValue(const std::string& name, double value, const std::string& unit) {
  Record(Figure{name, Format("%.4g ", value) + unit});
}

// The subject beside its baseline. When both ran in the same iterations (`paired`, and as many
// samples on both sides), the i-th of each are taken together and the ratio is the median of their
// ratios; otherwise it is the ratio of the medians. The target holds when the ratio is at most
// `mostRatio`; a negative `mostRatio` states the ratio only.
enum class Pairing { SameIterations, SeparateRuns };
inline void RecordRatio(const std::string& name, const Samples& subject, const std::string& unit,
                        const std::string& baselineName, const Samples& baseline, double mostRatio,
                        Pairing pairing = Pairing::SameIterations) {
  Figure figure{name, Describe(subject, unit), baselineName, Describe(baseline, unit)};
  Samples ratios;
  if (pairing == Pairing::SameIterations && subject.Count() == baseline.Count()) {
    for (std::size_t i = 0; i < subject.Count(); ++i) {
      if (baseline.Values()[i] > 0) ratios.Add(subject.Values()[i] / baseline.Values()[i]);
    }
  }
  double ratio = 0;
  if (!ratios.Empty()) {
    ratio = ratios.Median();
    figure.ratio = Format("%.3gx [%.3g-%.3g]", ratio, ratios.Quantile(0.25), ratios.Quantile(0.75));
  } else if (baseline.Median() > 0) {
    ratio = subject.Median() / baseline.Median();
    figure.ratio = Format("%.3gx (of medians)", ratio);
  }
  if (mostRatio >= 0) {
    figure.target = Format("<= %.3gx", mostRatio);
    figure.verdict = ratio > 0 && ratio <= mostRatio ? "PASS" : "FAIL";
  }
  Record(std::move(figure));
}

// A figure whose benchmark could not run: always a failure.
inline void RecordFailure(const std::string& name, const std::string& why) {
  Figure figure{name, "not measured: " + why};
  figure.verdict = "FAIL";
  Record(std::move(figure));
}

// Runs the registered benchmarks, then prints the figure lines. Non-zero when a benchmark failed to
// run; the verdicts are scripts/bench's to judge.
inline int RunAndReport(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const Figure& f : Figures()) {
    std::printf("FIGURE\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", f.name.c_str(), f.measured.c_str(),
                f.baseline.c_str(), f.baselineMeasured.c_str(), f.ratio.c_str(), f.target.c_str(),
                f.verdict.c_str());
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace bench

#define VIMO_BENCHMARK_MAIN()               \
  int main(int argc, char** argv) {         \
    return bench::RunAndReport(argc, argv); \
  }
