#include "formats/scramble.h"

#include "base/file_io.h"
#include "base/staged_file.h"
#include "formats/file_list.h"

#include <cstdio>
#include <vector>

void ScrambleBuffer(uint8_t* data, size_t size, uint64_t offset) {
    for (size_t i = 0; i < size; ++i) data[i] ^= ScrambleKey(offset + i);
}

bool ScrambleCopy(const char* source, const char* dest) {
    std::vector<uint8_t> list;
    if (!ReadWholeFile(source, list)) return false;
    MarkPlainList(list);
    ScrambleBuffer(list.data(), list.size());
    // A list cut short by a failure would load as a good, shorter one: it
    // takes dest's place only when complete.
    StagedFile staged(dest);
    return staged.Get() && (list.empty() || std::fwrite(list.data(), 1, list.size(), staged.Get()) == list.size()) &&
           staged.Commit();
}
