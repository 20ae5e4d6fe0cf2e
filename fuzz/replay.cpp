// SPDX-License-Identifier: MIT
// Replay driver: runs the fuzzing harness once on each file named, without
// libFuzzer (the gcc cross compilers have none), so that seeds and crafted
// inputs go through a target's own build under its emulator.
//
//   fuzz_kelid3_replay FILE...
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool read_file(const char *name, std::vector<uint8_t> &bytes) {
    std::FILE *file = std::fopen(name, "rb");
    if (file == nullptr) return false;
    bytes.clear();
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<uint8_t> bytes;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!read_file(argv[i], bytes)) {
            std::perror(argv[i]);
            return 2;
        }
        // An empty input goes through as a null pointer, as libFuzzer may pass it.
        LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
        ++replayed;
    }
    std::printf("replayed %d inputs\n", replayed);
    return 0;
}
