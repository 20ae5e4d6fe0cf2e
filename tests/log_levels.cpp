// SPDX-License-Identifier: MIT
// The log macros built at one level (KELID3_LOG_MIN_LEVEL, 0 for TRACE to 5
// for OFF): a line of that level or above is written, one below is dropped
// with its arguments unevaluated. Exits 0 when they are.
#include "tag/log.h"

int main() {
    int written = 0;
    ID3_LOG(stderr, TRACE, "%d", ++written);
    ID3_LOG(stderr, DEBUG, "%d", ++written);
    ID3_LOG(stderr, INFO, "%d", ++written);
    ID3_LOG(stderr, WARN, "%d", ++written);
    ID3_LOG(stderr, ERROR, "%d", ++written);
    return written == 5 - KELID3_LOG_MIN_LEVEL ? 0 : 1;
}
