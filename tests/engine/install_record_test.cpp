// The uninstall record: written and read back unchanged, and every damaged
// text refused as a whole.
#include "engine/install_record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

InstallRecord SampleRecord() {
    InstallRecord record;
    record.product = "Example 100% Product";
    auto add = [&record](EffectKind kind, std::string path, std::string other = "") {
        Effect effect;
        effect.kind = kind;
        effect.path = std::move(path);
        effect.other = std::move(other);
        record.effects.push_back(effect);
        return &record.effects.back();
    };
    add(EffectKind::kDirectory, "C:\\Program Files\\Example");
    add(EffectKind::kFileNew, "C:\\Program Files\\Example\\read\tme.txt");
    add(EffectKind::kSharedCount, "C:\\windows\\system32\\example.dll");
    add(EffectKind::kFileBackup, "C:\\windows\\system32\\example.dll", "C:\\Program Files\\Example\\Backup\\example.dll");
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
    EXPECT_EQ(text.rfind("SETUP UNINSTALL RECORD 1\nproduct\tExample 100%25 Product\ndir\tC:\\Program Files\\Example\n", 0),
              0u)
        << text;
    EXPECT_NE(text.find("new\tC:\\Program Files\\Example\\read%09me.txt\n"), std::string::npos) << text;
    EXPECT_NE(text.find("value\tHKEY_CURRENT_USER\\Software\\Example\t\t+\t3\t0001FF6C696E650D0A656E64\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 7), "end\t10\n");

    InstallRecord read;
    std::string error;
    ASSERT_TRUE(ParseInstallRecord(text, read, error)) << error;
    EXPECT_EQ(read.product, record.product);
    EXPECT_EQ(read.effects, record.effects);

    // Line ends as an editor on Windows would save them are read the same.
    std::string crlf;
    for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    ASSERT_TRUE(ParseInstallRecord(crlf, read, error)) << error;
    EXPECT_EQ(read.effects, record.effects);
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
        replaced("%09", "%0G"),                               // a bad escape
        replaced("%09", "%0"),
        replaced("\t+\t3\t", "\t+\t-3\t"),                    // a bad type
        replaced("0001FF", "0001F"),                          // odd hex
        replaced("InstallDir\t-", "InstallDir"),              // a value without its state
        replaced("product\t", "produce\t"),
        std::string("\0", 1) + good,
    };
    for (const std::string& text : damaged) {
        InstallRecord read;
        read.product = "left over";
        std::string error;
        EXPECT_FALSE(ParseInstallRecord(text, read, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(read.product.empty() && read.effects.empty()) << "a refused record hands nothing on";
    }
}

}  // namespace
