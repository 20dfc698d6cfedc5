#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "wire/sim/sim_bench.h"
#include "wire/wire_error.h"

namespace velgrin::sim {

// Reads a bench description (JSON). A refusal's message names the file, the place in it and the
// problem.
WireResult<std::shared_ptr<SimBench>> LoadBenchFile(const std::string& path, const Clock& clock);
// The same from text; `origin` names it in messages.
WireResult<std::shared_ptr<SimBench>> LoadBenchJson(std::string_view json,
                                                    const std::string& origin, const Clock& clock);

// The built-in demo bench.
std::shared_ptr<SimBench> MakeDemoBench(const Clock& clock);

}  // namespace velgrin::sim
