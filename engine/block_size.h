#pragma once

namespace tf {

// The engine's sample-block size for a host block of n samples: n itself
// below 96; otherwise a divisor-block of n near 96..192 samples, so that
// host blocks split into whole engine blocks. n = 0 gives 0.
int DeriveBlockSize(int host_block_size);

}  // namespace tf
