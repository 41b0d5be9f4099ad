// Timing.h - wall-clock time of each stage of a run, for --timing.
#ifndef KELVANE_TRACE_TIMING_H
#define KELVANE_TRACE_TIMING_H

#include <chrono>
#include <string>
#include <utility>
#include <vector>

class CStageTimer {
 public:
  CStageTimer() : m_start(Clock::now()) {}
  // Ends the running stage under this name and starts the next one.
  void Stage(const std::string& strName) {
    const Clock::time_point now = Clock::now();
    m_stages.emplace_back(strName, std::chrono::duration<double, std::milli>(now - m_start).count());
    m_start = now;
  }
  // Each stage's name and milliseconds, in order.
  const std::vector<std::pair<std::string, double>>& Stages() const { return m_stages; }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point m_start;
  std::vector<std::pair<std::string, double>> m_stages;
};

#endif  // KELVANE_TRACE_TIMING_H
