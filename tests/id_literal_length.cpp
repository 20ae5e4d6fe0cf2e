// SPDX-License-Identifier: MIT
// A frame identifier literal where a constant is needed: compiles with three
// or four characters (KELID3_LITERAL_LENGTH), is refused with two or five.
#include "kelid3.hpp"

using namespace kelid3::literals;

#if KELID3_LITERAL_LENGTH == 2
constexpr std::uint32_t kId = "TI"_id;
#elif KELID3_LITERAL_LENGTH == 3
constexpr std::uint32_t kId = "TIT"_id;
#elif KELID3_LITERAL_LENGTH == 4
constexpr std::uint32_t kId = "TIT2"_id;
#else
constexpr std::uint32_t kId = "TIT2X"_id;
#endif

int main() {
    return kId == 0;
}
