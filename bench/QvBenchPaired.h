#pragma once
// Ours against its peer in one benchmark: each round runs a batch of ours and a batch of
// the peer, in turns (which one goes first alternates), and times each half, so that both
// meet the same phases of a shared machine. Separate benchmarks run seconds apart, and on
// a virtual machine whose speed drifts by tens of percent in that time their ratio says
// more about the machine than about the code.
//
// Reports, as counters of the benchmark: "ours" and "peer", seconds per item of each side,
// and "ratio", ours over the peer for the whole run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace QvBenchPaired {

template <class Ours, class Peer>
void Run(benchmark::State& state, int batch, Ours&& ours, Peer&& peer) {
    using Clock = std::chrono::steady_clock;
    double oursSeconds = 0, peerSeconds = 0;
    int64_t rounds = 0;
    auto timed = [batch](auto& side) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < batch; ++i)
            side();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    for (auto _ : state) {
        if (rounds++ % 2 == 0) {
            oursSeconds += timed(ours);
            peerSeconds += timed(peer);
        } else {
            peerSeconds += timed(peer);
            oursSeconds += timed(ours);
        }
    }
    const double items = double(rounds) * batch;
    state.counters["ours"] = oursSeconds / items;
    state.counters["peer"] = peerSeconds / items;
    state.counters["ratio"] = peerSeconds > 0 ? oursSeconds / peerSeconds : 0;
}

}  // namespace QvBenchPaired
