// SPDX-License-Identifier: MIT
// Compile-time tables: sorted keys checked by static_assert and found through
// a hash index built at compile time; and string lists packed into one block
// with 16-bit offsets (no pointer per entry, so no relocations in the shared
// library).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelid3::detail {

// True when rows[i].key rises strictly: sorted and without duplicates.
template <typename Row, size_t N>
constexpr bool keys_ascending(const Row (&rows)[N]) {
    for (size_t i = 1; i < N; ++i) {
        if (!(rows[i - 1].key < rows[i].key)) return false;
    }
    return true;
}

// A hash index over a table's keys, built at compile time: slot[s] holds a
// row number + 1, or 0 for an empty slot. A key starts at its home slot
// (multiplicative hashing on the key's top bits) and moves on to the next slot
// while that one is taken. Slots is a power of two above the row count, so
// every search meets an empty slot.
template <size_t Slots>
struct KeyIndex {
    static_assert(Slots != 0 && (Slots & (Slots - 1)) == 0, "a power of two");
    uint8_t slot[Slots];

    static constexpr size_t home(uint32_t key) {
        unsigned bits = 0;
        while ((size_t{1} << bits) < Slots) ++bits;
        return static_cast<size_t>((key * 0xCC9E2D51u) >> (32 - bits));
    }
    static constexpr size_t next(size_t s) { return (s + 1) & (Slots - 1); }
};

template <size_t Slots, typename Row, size_t N>
constexpr KeyIndex<Slots> index_keys(const Row (&rows)[N]) {
    static_assert(N < Slots && N < 0xFF, "room for an empty slot; row numbers fit a byte");
    KeyIndex<Slots> index{};
    for (size_t i = 0; i < N; ++i) {
        size_t s = KeyIndex<Slots>::home(rows[i].key);
        while (index.slot[s] != 0) s = KeyIndex<Slots>::next(s);
        index.slot[s] = static_cast<uint8_t>(i + 1);
    }
    return index;
}

// The row whose key equals `key`, or null, found through the index.
template <typename Row, size_t N, size_t Slots>
constexpr const Row *find_row(const Row (&rows)[N], const KeyIndex<Slots> &index, uint32_t key) {
    for (size_t s = KeyIndex<Slots>::home(key); index.slot[s] != 0; s = KeyIndex<Slots>::next(s)) {
        const Row &row = rows[index.slot[s] - 1];
        if (row.key == key) return &row;
    }
    return nullptr;
}

// True when the index finds every row of the table within `max_probes` slots
// of its home.
template <typename Row, size_t N, size_t Slots>
constexpr bool index_finds_all(const Row (&rows)[N], const KeyIndex<Slots> &index,
                               size_t max_probes) {
    for (size_t i = 0; i < N; ++i) {
        size_t s = KeyIndex<Slots>::home(rows[i].key);
        size_t probes = 1;
        while (index.slot[s] != i + 1) {
            if (index.slot[s] == 0 || ++probes > max_probes) return false;
            s = KeyIndex<Slots>::next(s);
        }
    }
    return true;
}

constexpr size_t text_length(const char *s) {
    size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// Bytes needed to hold every string of the list with its terminator (a null
// entry takes none).
template <size_t N>
constexpr size_t packed_bytes(const char *const (&strings)[N]) {
    size_t total = 0;
    for (const char *s : strings) total += s != nullptr ? text_length(s) + 1 : 0;
    return total;
}

// N strings laid end to end, each NUL-terminated, found by offset; a null
// entry of the list stays null.
template <size_t N, size_t Bytes>
struct PackedStrings {
    static constexpr uint16_t kNone = 0xFFFF;
    uint16_t offset[N];
    char text[Bytes];

    constexpr const char *operator[](size_t i) const {
        return offset[i] != kNone ? text + offset[i] : nullptr;
    }
};

template <size_t Bytes, size_t N>
constexpr PackedStrings<N, Bytes> pack_strings(const char *const (&strings)[N]) {
    static_assert(Bytes < PackedStrings<N, Bytes>::kNone, "offsets are 16-bit");
    PackedStrings<N, Bytes> packed{};
    size_t at = 0;
    for (size_t i = 0; i < N; ++i) {
        packed.offset[i] = strings[i] != nullptr ? static_cast<uint16_t>(at) : packed.kNone;
        if (strings[i] == nullptr) continue;
        for (const char *s = strings[i]; *s != '\0'; ++s) packed.text[at++] = *s;
        packed.text[at++] = '\0';
    }
    return packed;
}

}  // namespace kelid3::detail
