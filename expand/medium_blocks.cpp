#include "expand/medium_blocks.h"

namespace {

// What Medium::Cache keeps of a medium: its blocks.
class MediumBlocks : public MediumCache {
public:
    explicit MediumBlocks(SolidBlocks::Reader reader) : blocks(std::move(reader)) {}
    SolidBlocks blocks;
};

}  // namespace

SolidBlocks& SolidBlocksOf(const Medium& medium) {
    MediumCache& cache = medium.Cache([&medium] {
        return std::unique_ptr<MediumCache>(new MediumBlocks([&medium](const std::string& name,
                                                                      std::vector<uint8_t>& bytes) {
            const SumEntry* expected = nullptr;
            if (medium.Sum().present && !(expected = medium.Sum().sum.Find(name))) return ExpandStatus::kDamaged;
            switch (medium.ReadWhole(name, bytes)) {
            case Medium::ReadOutcome::kMissing:
                return ExpandStatus::kDamaged;  // its members are there, it is not
            case Medium::ReadOutcome::kFailed:
                return ExpandStatus::kReadFailed;
            case Medium::ReadOutcome::kRead:
                break;
            }
            return CheckBlockFile(bytes, expected);
        }));
    });
    return static_cast<MediumBlocks&>(cache).blocks;
}
