#include "engine/block_size.h"

namespace tf {

int DeriveBlockSize(int n) {
    if (n < 96) return n;
    const int q = n / 96;
    // The smallest divisor-block of at least 96 samples (d = 1 always divides).
    int best = n;
    for (int d = q; d >= 1; --d) {
        if (n % d == 0) {
            best = n / d;
            break;
        }
    }
    // A divisor-block below 96 is preferred when it stays above `lim`.
    int lim = 192 - best;
    if (lim <= 30) lim = 30;
    const int m = n / lim;
    for (int d = q + 1; d < m; ++d) {
        if (n % d == 0) {
            best = n / d;
            break;
        }
    }
    return best;
}

}  // namespace tf
