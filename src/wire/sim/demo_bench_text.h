#pragma once

namespace velgrin::sim {

// The built-in demo bench (demo_bench.json, compiled in).
extern const char* const kDemoBenchJson;

}  // namespace velgrin::sim
