// SPDX-License-Identifier: MIT
// A frame identifier literal of two or five characters (KELID3_LITERAL_LENGTH)
// where a constant is needed: refused at compile time.
#include "kelid3.hpp"

using namespace kelid3::literals;

#if KELID3_LITERAL_LENGTH == 2
constexpr std::uint32_t kId = "TI"_id;
#else
constexpr std::uint32_t kId = "TIT2X"_id;
#endif

int main() {
    return kId == 0;
}
