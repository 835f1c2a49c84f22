// libFuzzer target: the reading of setup.sum, which the installer does on
// whatever the distribution holds.
//
// The input, in a heap block of exactly its size, is parsed. A text that is
// accepted must format to a text that parses to the same entries, and every
// entry must be found again by its name; a refused text leaves no entry and
// says why.
#include "formats/setup_sum.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> text(new uint8_t[size]);
    if (size) std::memcpy(text.get(), data, size);

    SetupSum sum;
    std::string problem;
    if (!sum.Parse(text.get(), size, &problem)) {
        Check(sum.Entries().empty(), "a refused text left entries");
        Check(!problem.empty(), "a refused text without a reason");
        return 0;
    }
    for (const SumEntry& entry : sum.Entries())
        Check(sum.Find(entry.name) == &entry, "an entry is not found by its name");

    const std::string again = sum.Format();
    SetupSum back;
    Check(back.Parse(reinterpret_cast<const uint8_t*>(again.data()), again.size()), "its own text is refused");
    Check(back.Entries().size() == sum.Entries().size(), "entries lost on the way back");
    for (size_t i = 0; i < sum.Entries().size(); ++i) {
        const SumEntry& a = sum.Entries()[i];
        const SumEntry& b = back.Entries()[i];
        Check(a.name == b.name && a.size == b.size && a.sha256 == b.sha256 && a.packed == b.packed &&
                  a.packedSize == b.packedSize && a.packedSha256 == b.packedSha256,
              "an entry changed on the way back");
    }
    return 0;
}
