// Generated lists for the refinement's benchmarks: the benchmark world's
// students with keep-apart and keep-together groups, dealt by the real
// class assignment, and a plain exchange method to compare with.
#pragma once

#include <cstdint>
#include <vector>

#include "bench_world.h"
#include "division/refine_classes.h"

namespace fenban::bench {

// Adds "分开" and "同班" columns to the data sheet: about 2 % of the
// students in keep-apart groups of 2 to 4, about 2 % in keep-together groups
// of 2 or 3. Members of a group lose their preset class, except the first
// member of a together group, so every constraint can be met.
void AddGroupColumns(BenchWorld& world, uint64_t seed);

// Deals the world's list with the three balance boxes ticked (the class
// assignment and the preset classes) and reads the dealt work table.
division::WorkStudents DealWorld(BenchWorld& world);

// The exchange method of anticlustering (k-means criterion on standardised
// total, subjects and category values): each student in turn takes the best
// improving swap with a partner in another class, the partners being every
// student up to 20,000 students and 200 drawn at random above. Fixed
// students never move; it knows nothing of the groups. With passes above 1
// the pass is repeated until none improves (a local optimum) or the passes
// run out.
std::vector<int32_t> PlainExchange(const division::StudentList& list, uint64_t seed, int32_t passes = 1);

}  // namespace fenban::bench
