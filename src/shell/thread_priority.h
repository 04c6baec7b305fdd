#pragma once
// Background threads (the picture preparer's, the totals' writer) run below the window and
// the network loop, so on a busy machine the loop and the host it talks to get the cores first.

namespace lumar {

// How far below the window a background thread runs.
constexpr int kWorkerNiceness = 5;

// Lowers the calling thread's priority by `steps` nice levels (at most to the lowest); the
// threads it starts afterwards inherit it. Nothing where threads have no priority of their own.
void LowerThisThreadsPriority(int steps = kWorkerNiceness);

}  // namespace lumar
