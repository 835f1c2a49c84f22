// libFuzzer target: the reading of a setup.exe's PE layout and of the medium's
// overlay after it, which the installer does on whatever file it was started
// from.
//
// An input that starts with "MZ" is a whole file; any other is the bytes
// after a fixed small PE image. The file is read as the installer reads it,
// piece by piece (layout, header, table, tail), and whole. What is accepted
// must lie within the file, without overlaps, and must write back through
// the writer to an overlay that reads whole with the same items.
#include "formats/overlay.h"
#include "fuzz/fuzz_support.h"
#include "tests/pe_bytes.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size < 2 || data[0] != 'M' || data[1] != 'Z') {
        static const std::string image = pe_bytes::Image(true);
        bytes = image + bytes;
    }
    std::unique_ptr<uint8_t[]> file(new uint8_t[bytes.size()]);
    std::memcpy(file.get(), bytes.data(), bytes.size());
    const uint64_t fileSize = bytes.size();

    // The first bytes alone, in a block of their size.
    const size_t headSize = std::min<size_t>(bytes.size(), kPeHeadSize);
    std::unique_ptr<uint8_t[]> head(new uint8_t[headSize]);
    std::memcpy(head.get(), file.get(), headSize);
    PeLayout layout;
    std::string problem;
    if (!ReadPeLayout(head.get(), headSize, layout, &problem)) {
        Check(!problem.empty(), "a refused PE layout without a reason");
        return 0;
    }
    OverlayFile whole;
    const bool wholeOk = ReadOverlayFile(file.get(), bytes.size(), whole, &problem);
    Check(wholeOk || !problem.empty(), "a refused file without a reason");
    if (layout.imageEnd > fileSize || WhatFollowsImage(layout, fileSize) != AfterImage::kOverlay) return 0;

    // The header in a block of its own, as read from the file.
    const uint64_t available = fileSize - layout.imageEnd;
    const size_t headerSize = size_t(std::min<uint64_t>(available, kOverlayHeaderSize));
    std::unique_ptr<uint8_t[]> headerBytes(new uint8_t[headerSize]);
    std::memcpy(headerBytes.get(), file.get() + layout.imageEnd, headerSize);
    OverlayHeader header;
    if (!ParseOverlayHeader(headerBytes.get(), headerSize, available, header, &problem)) {
        Check(!problem.empty(), "a refused header without a reason");
        Check(!wholeOk, "the whole file passed with a refused header");
        return 0;
    }
    Check(header.tableOffset >= kOverlayHeaderSize && header.tableOffset <= header.overlaySize &&
              header.overlaySize <= available,
          "an accepted header that does not fit");

    const size_t tableSize = size_t(header.TableSize());
    std::unique_ptr<uint8_t[]> table(new uint8_t[tableSize + 1]);
    std::memcpy(table.get(), file.get() + layout.imageEnd + header.tableOffset, tableSize);
    std::vector<OverlayItem> items;
    if (!ParseOverlayTable(header, table.get(), tableSize, items, &problem)) {
        Check(!problem.empty() && items.empty(), "a refused table with entries or without a reason");
        Check(!wholeOk, "the whole file passed with a refused table");
        return 0;
    }
    Check(items.size() == header.entryCount, "entries lost");
    std::vector<const OverlayItem*> sorted;
    for (const OverlayItem& item : items) {
        Check(item.offset >= kOverlayHeaderSize && item.offset <= header.tableOffset &&
                  item.size <= header.tableOffset - item.offset,
              "an accepted item outside the items");
        sorted.push_back(&item);
    }
    std::sort(sorted.begin(), sorted.end(), [](const OverlayItem* a, const OverlayItem* b) { return a->offset < b->offset; });
    for (size_t i = 1; i < sorted.size(); ++i)
        Check(sorted[i - 1]->offset + sorted[i - 1]->size <= sorted[i]->offset, "accepted items overlap");
    uint64_t padding = 0;
    if (CheckOverlayTail(layout, layout.imageEnd + header.overlaySize, fileSize, padding, &problem))
        Check(padding < 8 && layout.imageEnd + header.overlaySize + padding <= fileSize, "padding past the end");

    // Written back, the same items read whole.
    std::vector<std::string> contents;
    for (const OverlayItem& item : items)
        contents.emplace_back(bytes, size_t(layout.imageEnd + item.offset), size_t(item.size));
    const std::string again = FormatOverlay(items, contents);
    Check(!again.empty(), "accepted items that the writer refuses");
    const std::string rewritten = bytes.substr(0, size_t(layout.imageEnd)) + again;
    OverlayFile back;
    // The image's own certificate entry may name a table that is not there now.
    if (layout.certificateSize == 0) {
        Check(ReadOverlayFile(reinterpret_cast<const uint8_t*>(rewritten.data()), rewritten.size(), back, &problem),
              "a written overlay does not read back");
        Check(back.items.size() == items.size(), "items lost on the way back");
        for (size_t i = 0; i < items.size(); ++i)
            Check(back.items[i].kind == items[i].kind && back.items[i].name == items[i].name &&
                      back.items[i].size == items[i].size,
                  "an item changed on the way back");
    }
    return 0;
}
