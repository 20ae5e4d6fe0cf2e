// Compile-time tables: sorted keys checked by static_assert and searched in
// O(log n), and string lists packed into one block with 16-bit offsets (no
// pointer per entry, so no relocations in the shared library).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kelid3 {

// True when rows[i].key rises strictly: sorted and without duplicates.
template <typename Row, size_t N>
constexpr bool keys_ascending(const Row (&rows)[N]) {
    for (size_t i = 1; i < N; ++i) {
        if (!(rows[i - 1].key < rows[i].key)) return false;
    }
    return true;
}

// The row whose key equals `key`, or null.
template <typename Row, size_t N>
const Row *find_row(const Row (&rows)[N], uint32_t key) {
    const Row *row =
        std::lower_bound(rows, rows + N, key, [](const Row &r, uint32_t k) { return r.key < k; });
    return row != rows + N && row->key == key ? row : nullptr;
}

constexpr size_t text_length(const char *s) {
    size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// Bytes needed to hold every string of the list with its terminator.
template <size_t N>
constexpr size_t packed_bytes(const char *const (&strings)[N]) {
    size_t total = 0;
    for (const char *s : strings) total += text_length(s) + 1;
    return total;
}

// N strings laid end to end, each NUL-terminated, found by offset.
template <size_t N, size_t Bytes>
struct PackedStrings {
    uint16_t offset[N];
    char text[Bytes];

    constexpr const char *operator[](size_t i) const { return text + offset[i]; }
};

template <size_t Bytes, size_t N>
constexpr PackedStrings<N, Bytes> pack_strings(const char *const (&strings)[N]) {
    static_assert(Bytes <= 0xFFFF, "offsets are 16-bit");
    PackedStrings<N, Bytes> packed{};
    size_t at = 0;
    for (size_t i = 0; i < N; ++i) {
        packed.offset[i] = static_cast<uint16_t>(at);
        for (const char *s = strings[i]; *s != '\0'; ++s) packed.text[at++] = *s;
        packed.text[at++] = '\0';
    }
    return packed;
}

}  // namespace kelid3
