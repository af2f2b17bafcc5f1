// The figures of the search benchmarks, for the summary after the run.
#pragma once

namespace tarvex {

struct Percentiles {
  double p50 = 0;  // milliseconds
  double p95 = 0;
};

struct SearchFigures {
  Percentiles device;   // a device's search round trip through the whole chain
  Percentiles recollq;  // the same query run by recollq directly
};

// Filled by the search benchmarks; zero when they did not run.
SearchFigures& RecordedSearchFigures();

}  // namespace tarvex
