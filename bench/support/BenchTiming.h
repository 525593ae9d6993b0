#pragma once
// Timing and argument reading shared by the benchmark programs.

#include <windows.h>

#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace qv::bench {

// Milliseconds on the performance counter since an arbitrary origin.
inline double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The best of a few rounds of work(round): the figure least disturbed by the
// rest of the machine.
template <class Work>
double BestTime(int rounds, Work&& work) {
  double best = 0;
  for (int round = 0; round < rounds; ++round) {
    double start = NowMs();
    work(round);
    double elapsed = NowMs() - start;
    if (round == 0 || elapsed < best) best = elapsed;
  }
  return best;
}

// The positive counts given on the command line, or the defaults when none is.
inline std::vector<int> CountsFromArguments(int argc, char** argv, std::initializer_list<int> defaults) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) {
    int count = std::atoi(argv[i]);
    if (count > 0) counts.push_back(count);
  }
  if (counts.empty()) counts = defaults;
  return counts;
}

}  // namespace qv::bench
