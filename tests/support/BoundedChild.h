// Runs a piece of a test in a child process whose address space may grow only by a fixed
// budget, so that a file making the engine allocate gigabytes fails the test instead of the
// machine, and reports how much resident memory the child gained.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

/// What became of the child.
struct TChildResult {
    bool Finished = false; ///< the body returned (it did not crash, abort or get killed)
    std::string Report; ///< what the body returned
    uint64_t RssGrowthBytes = 0; ///< peak resident memory gained while the body ran
};

/// Forks, limits the child's address space to what it has plus budgetBytes, runs body there and
/// hands its report back through a pipe. The child leaves with _exit, so no destructor, no leak
/// check and no test framework state of the parent runs twice. Call from a single thread.
TChildResult RunBounded(const std::function<std::string()>& body, uint64_t budgetBytes);
