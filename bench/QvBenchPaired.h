#pragma once
// Contenders measured in one benchmark: each round runs a batch of every contender in
// turn (which one goes first rotates) and times each batch, so that all of them meet the
// same phases of a shared machine. Separate benchmarks run seconds apart, and on a virtual
// machine whose speed drifts by tens of percent in that time their ratio says more about
// the machine than about the code.
//
// Reports one counter per contender, "s/<name>": seconds per item. Run, for a pair, names
// them "ours" and "peer" and adds "ratio", ours over the peer.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace QvBenchPaired {

using Contender = std::pair<std::string, std::function<void()>>;

inline std::vector<double> RunGroup(benchmark::State& state, int batch, const std::vector<Contender>& contenders) {
    using Clock = std::chrono::steady_clock;
    const size_t n = contenders.size();
    std::vector<double> seconds(n, 0.0);
    int64_t rounds = 0;
    for (auto _ : state) {
        for (size_t k = 0; k < n; ++k) {
            const size_t which = (size_t(rounds) + k) % n;
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < batch; ++i)
                contenders[which].second();
            seconds[which] += std::chrono::duration<double>(Clock::now() - start).count();
        }
        ++rounds;
    }
    const double items = double(rounds) * batch;
    for (size_t k = 0; k < n; ++k) {
        seconds[k] /= items;
        state.counters["s/" + contenders[k].first] = seconds[k];
    }
    return seconds;
}

template <class Ours, class Peer>
void Run(benchmark::State& state, int batch, Ours&& ours, Peer&& peer) {
    const std::vector<double> seconds = RunGroup(state, batch, {{"ours", ours}, {"peer", peer}});
    state.counters["ratio"] = seconds[1] > 0 ? seconds[0] / seconds[1] : 0;
}

}  // namespace QvBenchPaired
