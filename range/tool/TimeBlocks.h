// How long each method takes per 28800-sample block at 96 kHz, on one core,
// over a simulated session (the same figure bench/OnsetBench.cpp measures
// with Google Benchmark).
#pragma once

namespace quorvel::range {

void PrintBlockTimes();

}  // namespace quorvel::range
