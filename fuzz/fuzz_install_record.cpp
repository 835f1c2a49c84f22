// libFuzzer target: the reading of uninstall.dat, which the uninstaller does
// after its digest matched, and whatever it holds otherwise.
//
// The input, in a heap block of exactly its size, is parsed. A text that is
// accepted must format to a text that parses to the same product and
// entries, none of whose paths or names holds a NUL or a control character;
// a refused text leaves an empty record and says why in a short text.
#include "engine/install_record.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>

namespace {

bool HasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x20; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<char[]> block(new char[size]);
    if (size) std::memcpy(block.get(), data, size);
    const std::string text(block.get(), size);

    InstallRecord record;
    const RunResult result = ParseInstallRecord(text, record);
    if (result.Failed()) {
        Check(result.what == RunOutcome::kRecordRefused, "a refusal of another kind");
        Check(record.product.empty() && record.effects.empty(), "a refused text left a record");
        Check(!result.detail.empty(), "a refused text without a reason");
        Check(result.detail.size() < 200, "an error text that repeats the record");
        return 0;
    }
    Check(record.product.find('\0') == std::string::npos, "a NUL in the product name");
    for (const Effect& effect : record.effects)
        Check(!effect.path.empty() && !HasControl(effect.path) && !HasControl(effect.other),
              "a path or name that the undo would cut short");

    const std::string again = FormatInstallRecord(record);
    InstallRecord back;
    Check(!ParseInstallRecord(again, back).Failed(), "its own text is refused");
    Check(back.product == record.product, "the product changed on the way back");
    Check(back.effects == record.effects, "an entry changed on the way back");
    Check(FormatInstallRecord(back) == again, "the text changed on the way back");
    return 0;
}
