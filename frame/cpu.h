// What the processor offers, asked once. Code paths that need more than the
// baseline 32-bit instruction set are chosen at run time with this.
#pragma once

namespace kv {

bool cpuHasSse2();

}  // namespace kv
