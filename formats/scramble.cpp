#include "formats/scramble.h"

#include "base/staged_file.h"

#include <cstdio>
#include <vector>

void ScrambleBuffer(uint8_t* data, size_t size, uint64_t offset) {
    for (size_t i = 0; i < size; ++i) data[i] ^= ScrambleKey(offset + i);
}

bool ScrambleCopy(const char* source, const char* dest) {
    FILE* in = OpenFile(source, "rb");
    if (!in) return false;
    // A list cut short by a failure would load as a good, shorter one: it
    // takes dest's place only when complete.
    StagedFile staged(dest);
    FILE* out = staged.Get();
    if (!out) {
        std::fclose(in);
        return false;
    }
    bool ok = true;
    std::vector<uint8_t> block(64 * 1024);
    uint64_t offset = 0;
    for (;;) {
        size_t got = std::fread(block.data(), 1, block.size(), in);
        if (got == 0) {
            ok = !std::ferror(in);
            break;
        }
        ScrambleBuffer(block.data(), got, offset);
        offset += got;
        if (std::fwrite(block.data(), 1, got, out) != got) {
            ok = false;
            break;
        }
    }
    std::fclose(in);
    return ok && staged.Commit();
}
