// The uninstall record: written and read back unchanged, and every damaged
// text refused as a whole.
#include "engine/install_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

// Every allocation of the test program, counted while a test asks for it.
namespace {
bool countAllocations = false;
size_t allocatedBytes = 0;
}  // namespace

// (The replaced pair is malloc and free, which GCC cannot see through.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    if (countAllocations) allocatedBytes += size;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

namespace {

InstallRecord SampleRecord() {
    InstallRecord record;
    record.product = "Example 100%\tProduct";
    auto add = [&record](EffectKind kind, std::string path, std::string other = "") {
        Effect effect;
        effect.kind = kind;
        effect.path = std::move(path);
        effect.other = std::move(other);
        record.effects.push_back(effect);
        return &record.effects.back();
    };
    add(EffectKind::kDirectory, "C:\\Program Files\\Example");
    add(EffectKind::kFileNew, "C:\\Program Files\\Example\\read%me.txt");
    add(EffectKind::kSharedCount, "C:\\windows\\system32\\example.dll");
    add(EffectKind::kFileBackup, "C:\\windows\\system32\\example.dll", "C:\\Program Files\\Example\\Backup\\example.dll")
        ->data = std::string(31, '\xA5') + '\x0F';  // the saved DLL's digest
    add(EffectKind::kFileOver, "C:\\Program Files\\Example\\notes.txt");
    add(EffectKind::kDllKept, "C:\\windows\\system32\\other.dll");
    add(EffectKind::kShortcut, "C:\\Start Menu\\Example\\Read me.lnk");
    add(EffectKind::kRegistryKey, "HKEY_CURRENT_USER\\Software\\Example");
    add(EffectKind::kRegistryValue, "HKEY_CURRENT_USER\\Software\\Example", "InstallDir");
    Effect* before = add(EffectKind::kRegistryValue, "HKEY_CURRENT_USER\\Software\\Example", "");
    before->existed = true;
    before->type = 3;
    before->data = std::string("\0\x01\xFFline\r\nend", 12);
    return record;
}

TEST(InstallRecordTest, WrittenAndReadBackUnchanged) {
    const InstallRecord record = SampleRecord();
    const std::string text = FormatInstallRecord(record);
    // One line per effect between the version line, the product and the last line.
    EXPECT_EQ(text.rfind("SETUP UNINSTALL RECORD 1\nproduct\tExample 100%25%09Product\ndir\tC:\\Program Files\\Example\n", 0),
              0u)
        << text;
    EXPECT_NE(text.find("new\tC:\\Program Files\\Example\\read%25me.txt\n"), std::string::npos) << text;
    EXPECT_NE(text.find("value\tHKEY_CURRENT_USER\\Software\\Example\t\t+\t3\t0001FF6C696E650D0A656E64\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("backup\tC:\\windows\\system32\\example.dll\tC:\\Program Files\\Example\\Backup\\example.dll\t" +
                        [] {
                            std::string hex;
                            for (int i = 0; i < 31; ++i) hex += "a5";
                            return hex + "0f\n";
                        }()),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 7), "end\t10\n");

    InstallRecord read;
    RunResult result = ParseInstallRecord(text, read);
    ASSERT_FALSE(result.Failed()) << result.detail;
    EXPECT_EQ(read.product, record.product);
    EXPECT_EQ(read.effects, record.effects);

    // Line ends as an editor on Windows would save them are read the same.
    std::string crlf;
    for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    result = ParseInstallRecord(crlf, read);
    ASSERT_FALSE(result.Failed()) << result.detail;
    EXPECT_EQ(read.effects, record.effects);
}

// A record written as the run goes: its lines without the last, read as
// the whole record is; a line cut short by the end is no record.
TEST(InstallRecordTest, AJournalReadsAsTheRecordItWillBecome) {
    const InstallRecord record = SampleRecord();
    std::string journal = FormatRecordStart(record.product, true);
    for (const Effect& effect : record.effects) journal += FormatRecordLine(effect);
    InstallRecord read;
    RunResult result = ParseRecordJournal(journal, read);
    ASSERT_FALSE(result.Failed()) << result.detail;
    EXPECT_EQ(read.product, record.product);
    EXPECT_EQ(read.effects, record.effects);
    EXPECT_TRUE(ParseRecordJournal(journal.substr(0, journal.size() - 3), read).Failed());
    EXPECT_TRUE(read.effects.empty());
    EXPECT_TRUE(ParseRecordJournal(journal + "end\t10\n", read).Failed());
}

TEST(InstallRecordTest, ADamagedRecordIsRefusedAsAWhole) {
    const std::string good = FormatInstallRecord(SampleRecord());
    auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    const std::string damaged[] = {
        "",
        good.substr(0, good.size() - 1),                      // the last line cut off
        good.substr(0, good.rfind("end\t")),                  // no last line: a record cut at a line end
        good.substr(0, good.find("link\t")) + "end\t5\n",     // a count that does not fit
        good + "dir\tC:\\after\n",                            // lines after the last one
        replaced("SETUP UNINSTALL RECORD 1", "SETUP UNINSTALL RECORD 2"),
        replaced("kept\t", "gone\t"),                         // an unknown kind
        replaced("link\tC:\\Start Menu\\Example\\Read me.lnk", "link"),
        replaced("%25me", "%2Gme"),                               // a bad escape
        replaced("%25me", "%2"),
        replaced("\t+\t3\t", "\t+\t-3\t"),                    // a bad type
        replaced("0001FF", "0001F"),                          // odd hex
        replaced("InstallDir\t-", "InstallDir"),              // a value without its state
        replaced("product\t", "produce\t"),
        std::string("\0", 1) + good,
    };
    for (const std::string& text : damaged) {
        InstallRecord read;
        read.product = "left over";
        const RunResult result = ParseInstallRecord(text, read);
        EXPECT_EQ(result.what, RunOutcome::kRecordRefused) << text;
        EXPECT_FALSE(result.detail.empty());
        EXPECT_TRUE(read.product.empty() && read.effects.empty()) << "a refused record hands nothing on";
    }
}

// What the undo would hand to Windows cut short, or a path it would
// resolve against whatever directory it runs in, is refused.
TEST(InstallRecordTest, NulAndControlCharactersAndRelativePathsAreRefused) {
    const std::string good = FormatInstallRecord(SampleRecord());
    auto with = [&good](const std::string& line) {
        std::string text = good;
        const size_t end = text.rfind("end\t10\n");
        return text.replace(end, std::string::npos, line + "\nend\t11\n");
    };
    InstallRecord read;
    const RunResult accepted = ParseInstallRecord(with("new\tC:\\X\\a..\\b"), read);
    ASSERT_FALSE(accepted.Failed()) << accepted.detail;
    // A backup line of an earlier version names no digest: the DLL goes back unchecked.
    ASSERT_FALSE(ParseInstallRecord(with("backup\tC:\\X\\a.dll\tC:\\X\\Backup\\a.dll"), read).Failed());
    EXPECT_TRUE(read.effects.back().data.empty());
    const std::string digest(64, 'a');
    const std::string refused[] = {
        with("new\tC:\\X\\a%00..\\b"),
        with(std::string("new\tC:\\X\\a\0..\\b", 13)),
        with("dir\tC:\\X\\a\x01"),
        with("link\tC:\\X\\a%1F.lnk"),
        with("backup\tC:\\X\\a.dll\tC:\\X\\Backup%0A\\a.dll"),
        with("value\tHKEY_CURRENT_USER\\Software\tRun%00ning\t-"),
        with("key\tHKEY_CURRENT_USER\\Soft%09ware"),
        with("new\t..\\..\\Windows\\system32\\a.dll"),
        with("count\t\\Windows\\a.dll"),
        with("backup\tC:\\a.dll\tBackup\\a.dll"),
        with("backup\tC:\\X\\a.dll\tC:\\X\\Backup\\a.dll\t" + digest.substr(1)),
        with("backup\tC:\\X\\a.dll\tC:\\X\\Backup\\a.dll\t" + digest + "0"),
        with("backup\tC:\\X\\a.dll\tC:\\X\\Backup\\a.dll\tA" + digest.substr(1)),
        with("backup\tC:\\X\\a.dll\tC:\\X\\Backup\\a.dll\t" + digest + "\t" + digest),
        with("new\t"),
        with("new\tC:\\a\rb"),
        good.substr(0, good.find('\n')) + "\nproduct\tA%00B\n" + good.substr(good.find("dir\t")),
    };
    for (const std::string& text : refused) {
        EXPECT_TRUE(ParseInstallRecord(text, read).Failed()) << text;
        EXPECT_TRUE(read.effects.empty());
    }
}

// A damaged record of any size costs the reader no more than a line, a whole
// one its effects, and an error text quotes only the start of a bad field.
TEST(InstallRecordTest, AHugeRecordIsRefusedWithoutAHugeAllocationOrErrorText) {
    const std::string head = "SETUP UNINSTALL RECORD 1\nproduct\tX\n";
    const std::string huge[] = {
        head + "dir" + std::string(50u << 20, '\t') + "\nend\t1\n",              // 50 MB of tabs
        head + std::string(50u << 20, '\n') + "end\t1\n",                        // 50 MB of line ends
        head + std::string(20u << 20, 'x') + "\tC:\\a\nend\t1\n",               // a 20 MB unknown kind
        head + std::string(kMaxInstallRecordSize, 'x'),                         // too large a file
        std::string(30u << 20, '\t') + "\n",                                     // no header
        head + std::string(10u << 20, '\n') + "end\t" + std::to_string(10u << 20) + "\n",  // line ends counted
    };
    for (const std::string& text : huge) {
        InstallRecord read;
        allocatedBytes = 0;
        countAllocations = true;
        const RunResult parsed = ParseInstallRecord(text, read);
        countAllocations = false;
        EXPECT_TRUE(parsed.Failed());
        EXPECT_LT(parsed.detail.size(), 120u) << parsed.detail.substr(0, 200);
        EXPECT_LT(allocatedBytes, 4096u) << parsed.detail;
    }

    // A whole record of many entries: its effects and their texts, and little more.
    InstallRecord many;
    many.product = "Many";
    Effect effect;
    effect.kind = EffectKind::kFileNew;
    effect.path = "C:\\Program Files\\Many\\a file with a long enough name.txt";
    many.effects.assign(100000, effect);
    const std::string text = FormatInstallRecord(many);
    InstallRecord read;
    allocatedBytes = 0;
    countAllocations = true;
    const RunResult parsed = ParseInstallRecord(text, read);
    countAllocations = false;
    ASSERT_FALSE(parsed.Failed()) << parsed.detail;
    EXPECT_EQ(read.effects, many.effects);
    EXPECT_LT(allocatedBytes, many.effects.size() * (sizeof(Effect) + 2 * effect.path.size()) + 4096);
}

}  // namespace

// Texts beyond ASCII: written in UTF-8 under a first line that says so (an
// earlier uninstaller refuses it); a record without it, from an earlier
// version, is read in the system's code page, string data included.
TEST(InstallRecordTest, TextsBeyondAsciiAreUtf8AndEarlierRecordsAreConverted) {
    InstallRecord record;
    record.product = "Προϊόν";
    Effect made;
    made.kind = EffectKind::kDirectory;
    made.path = "C:\\Προϊόν";
    record.Add(made);
    const std::string text = FormatInstallRecord(record);
    EXPECT_EQ(text, "SETUP UNINSTALL RECORD 1 UTF-8\nproduct\tΠροϊόν\ndir\tC:\\Προϊόν\nend\t1\n");
    InstallRecord read;
    ASSERT_FALSE(ParseInstallRecord(text, read, 1253).Failed());
    EXPECT_EQ(read.product, record.product);
    EXPECT_EQ(read.effects, record.effects);

    // Προϊόν in Windows-1253, and a string value to restore ("Ω\0").
    const std::string earlier = "SETUP UNINSTALL RECORD 1\nproduct\t\xD0\xF1\xEF\xFA\xFC\xED\ndir\tC:\\\xD0\xF1\xEF\xFA\xFC\xED\n"
                                "value\tHKEY_CURRENT_USER\\Software\tName\t+\t1\tD900\nend\t2\n";
    ASSERT_FALSE(ParseInstallRecord(earlier, read, 1253).Failed());
    EXPECT_EQ(read.product, "Προϊόν");
    EXPECT_EQ(read.effects[0].path, "C:\\Προϊόν");
    EXPECT_EQ(read.effects[1].data, std::string("Ω\0", 3));

    // Not text in its encoding: refused.
    EXPECT_TRUE(ParseInstallRecord("SETUP UNINSTALL RECORD 1 UTF-8\nproduct\t\xD0\nend\t0\n", read, 1253).Failed());
    EXPECT_TRUE(ParseInstallRecord("SETUP UNINSTALL RECORD 1\nproduct\tX\ndir\tC:\\\x83\nend\t1\n", read, 932).Failed());
}
