#pragma once

namespace velgrin::ds2480b {

// Asks the scheduler for short time slices for the calling thread. The emulator's work is a
// chain of short answers, each due at a set time; with short slices it takes the processor from
// CPU-bound programs when an answer is due instead of waiting until their slice is used up. It
// gets no larger share than before; a kernel without custom slices leaves it as it was.
void RequestShortSlices();

}  // namespace velgrin::ds2480b
