// Which Uninstall key vouches for uninstall.dat: the keys of its directory
// below HKLM when there is one, HKCU's only when HKLM has none (and the
// program has no administrator's rights), and never a
// key that the record's own product line names.
#include "engine/uninstall.h"

#include "engine/private_folder.h"

#include "formats/setup_sum.h"
#include "base/sha256.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <string>

namespace {

constexpr char kUninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class LoadInstallRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallRecord record;
        record.product = m_other;  // names a key of another directory
        Effect effect;
        effect.kind = EffectKind::kFileNew;
        effect.path = m_dir.Path("readme.txt");
        record.effects.push_back(effect);
        m_text = FormatInstallRecord(record);
        m_dir.Write(kInstallRecordName, m_text);
        Sha256Digest digest;
        ASSERT_TRUE(HashBytes(m_text.data(), m_text.size(), digest));
        m_digest = DigestHex(digest);
    }
    void TearDown() override {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const std::string& name : {m_own, m_other}) SHDeleteKeyA(root, (kUninstallKeys + name).c_str());
    }
    void Register(HKEY root, const std::string& name, const std::string& location, const std::string& digest) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(root, (kUninstallKeys + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
                       static_cast<DWORD>(location.size() + 1));
        RegSetValueExA(key, kRecordDigestValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(digest.c_str()),
                       static_cast<DWORD>(digest.size() + 1));
        RegCloseKey(key);
    }
    bool Load(std::string& error) {
        InstallRecord record;
        const RunResult result = LoadInstallRecord(m_dir.Path(), record);
        error = result.detail;
        const bool loaded = !result.Failed();
        EXPECT_EQ(loaded, !record.effects.empty()) << "a refused record hands nothing on";
        return loaded;
    }

    TempDir m_dir;
    const std::string m_own = "LoadInstallRecordTest-" + std::to_string(GetCurrentProcessId());
    const std::string m_other = m_own + "-other";
    std::string m_text, m_digest;
};

TEST_F(LoadInstallRecordTest, TheKeysOfItsDirectoryDecideHklmFirst) {
    std::string error;
    // The record's product names a key that holds its digest, but for another directory.
    Register(HKEY_LOCAL_MACHINE, m_other, m_dir.Path("elsewhere"), m_digest);
    EXPECT_FALSE(Load(error));
    EXPECT_EQ(error, "no Uninstall key in the registry is for " + m_dir.Path());

    // Only HKCU has a key for the directory (named in another case, with a
    // closing backslash): it decides only for a program without an
    // administrator's rights (under Wine every program has them).
    std::string upper = m_dir.Path() + "\\";
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    Register(HKEY_CURRENT_USER, m_own, upper, m_digest);
    if (RunsElevated()) {
        EXPECT_FALSE(Load(error));
        EXPECT_EQ(error, "no Uninstall key in the registry is for " + m_dir.Path());
    } else {
        EXPECT_TRUE(Load(error)) << error;
    }

    // Once HKLM has one, HKCU's no longer counts.
    const std::string changed = m_digest.substr(1) + "0";
    Register(HKEY_LOCAL_MACHINE, m_own, m_dir.Path(), changed);
    EXPECT_FALSE(Load(error));
    EXPECT_EQ(error, "uninstall.dat is not the record registered in HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKeys) +
                         m_own);
    Register(HKEY_LOCAL_MACHINE, m_own, m_dir.Path(), "");
    EXPECT_FALSE(Load(error));
    Register(HKEY_LOCAL_MACHINE, m_own, m_dir.Path(), m_digest);
    EXPECT_TRUE(Load(error)) << error;

    // One byte more in the record, and no key vouches for it.
    m_dir.Write(kInstallRecordName, m_text + "\n");
    EXPECT_FALSE(Load(error));
}

}  // namespace
