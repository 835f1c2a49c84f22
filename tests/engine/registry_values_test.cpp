#include "engine/registry_values.h"

#include "tests/win/test_registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

}  // namespace

// Writes go to the real registry, under a key of the test's own.
class WriteRegistryValueTest : public ::testing::Test {
protected:
    // "HKEY_CURRENT_USER\Software\<test key>\" followed by |rest|.
    std::string Path(const std::string& rest) const { return "HKEY_CURRENT_USER\\" + m_key.Name() + "\\" + rest; }

    TestRegistryKey m_key{"WriteRegistryValueTest"};
    InstallRecord m_record;  // what the writes record (engine/effect_kinds_test checks it)
};

TEST_F(WriteRegistryValueTest, RootsInAnyCaseOtherFirstNamesFail) {
    std::string data;
    DWORD type = 0;

    EXPECT_TRUE(
        WriteRegistryString(("hkey_current_user\\" + m_key.Name() + "\\Lower\\Name").c_str(), "a", '\\', m_record));
    ASSERT_TRUE(m_key.Get("Lower", "Name", type, data));
    EXPECT_EQ(data, std::string("a", 2));

    std::string mixed = "Hkey_Current_User|" + m_key.Name() + "|Mixed|Name";
    EXPECT_TRUE(WriteRegistryDword(mixed.c_str(), 7, '|', m_record));
    ASSERT_TRUE(m_key.Get("Mixed", "Name", type, data));
    EXPECT_EQ(data, Dword(7));

    // Not one of the four roots: nothing is written, no key is made.
    EXPECT_FALSE(WriteRegistryDword(("HKCU\\" + m_key.Name() + "\\Short\\Name").c_str(), 1, '\\', m_record));
    EXPECT_FALSE(
        WriteRegistryDword(("HKEY_CURRENT_CONFIG\\" + m_key.Name() + "\\Other\\Name").c_str(), 1, '\\', m_record));
    EXPECT_FALSE(WriteRegistryDword((m_key.Name() + "\\Bare\\Name").c_str(), 1, '\\', m_record));
    EXPECT_FALSE(m_key.Get("Short", "Name", type, data));
    EXPECT_FALSE(m_key.Get("Other", "Name", type, data));

    // A separator that the text does not hold leaves a bare value name with no key.
    EXPECT_FALSE(WriteRegistryDword(Path("NoSep\\Name").c_str(), 1, '|', m_record));
    EXPECT_FALSE(WriteRegistryDword("Name", 1, '\\', m_record));
    EXPECT_FALSE(WriteRegistryString(nullptr, "a", '\\', m_record));
    EXPECT_FALSE(WriteRegistryString(Path("Null\\Name").c_str(), nullptr, '\\', m_record));
    EXPECT_FALSE(m_key.Get("Null", "Name", type, data));
}

TEST_F(WriteRegistryValueTest, CreatesMissingKeysAndReplacesData) {
    std::string data;
    DWORD type = 0;

    ASSERT_TRUE(WriteRegistryString(Path("One\\Two\\Three\\Name").c_str(), "first value", '\\', m_record));
    ASSERT_TRUE(m_key.Get("One\\Two\\Three", "Name", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string("first value", 12));  // the terminating zero is stored too

    ASSERT_TRUE(WriteRegistryString(Path("One\\Two\\Three\\Name").c_str(), "2nd", '\\', m_record));
    ASSERT_TRUE(m_key.Get("One\\Two\\Three", "Name", type, data));
    EXPECT_EQ(data, std::string("2nd", 4));

    // Replaced with another type: a DWORD is always its 4 bytes.
    ASSERT_TRUE(WriteRegistryDword(Path("One\\Two\\Three\\Name").c_str(), 0x12345678, '\\', m_record));
    ASSERT_TRUE(m_key.Get("One\\Two\\Three", "Name", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, std::string("\x78\x56\x34\x12", 4));

    ASSERT_TRUE(WriteRegistryString(Path("One\\Empty").c_str(), "", '\\', m_record));
    ASSERT_TRUE(m_key.Get("One", "Empty", type, data));
    EXPECT_EQ(data, std::string(1, '\0'));

    // An empty last part names the key's default value.
    ASSERT_TRUE(WriteRegistryString(Path("One\\").c_str(), "default", '\\', m_record));
    ASSERT_TRUE(m_key.Get("One", "", type, data));
    EXPECT_EQ(data, std::string("default", 8));
}

TEST_F(WriteRegistryValueTest, BelowAGivenParentAndWithAnyDataAndType) {
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_key.Name().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &parent, nullptr),
              ERROR_SUCCESS);
    const char bytes[] = {'\0', '\x01', '\xff'};
    EXPECT_TRUE(WriteRegistryValue("Sub/Raw", bytes, sizeof bytes, REG_BINARY, '/', parent));
    // With a parent, a text without separator is the value name on the parent itself.
    EXPECT_TRUE(WriteRegistryValue("Top", bytes, 1, REG_BINARY, '/', parent));
    RegCloseKey(parent);

    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(m_key.Get("Sub", "Raw", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data, std::string(bytes, sizeof bytes));
    ASSERT_TRUE(m_key.Get("", "Top", type, data));
    EXPECT_EQ(data, std::string(1, '\0'));
}

TEST_F(WriteRegistryValueTest, KeysMadeBeforeAFailureStay) {
    // A key name longer than the registry allows cannot be created.
    std::string tooLong(300, 'k');
    EXPECT_FALSE(WriteRegistryDword(Path("Made\\" + tooLong + "\\Name").c_str(), 1, '\\', m_record));
    HKEY made = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (m_key.Name() + "\\Made").c_str(), 0, KEY_READ, &made), ERROR_SUCCESS);
    RegCloseKey(made);
}

// Counts under the machine's SharedDLLs key, with value names of the test's
// own, removed afterwards. A 32-bit program sees HKLM\Software through the
// 32-bit view (Wow6432Node on a 64-bit system); the raw reads below go
// through the same view.
class SharedDllCountTest : public ::testing::Test {
protected:
    static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

    ~SharedDllCountTest() override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        for (const char* name : {"missing", "three", "none", "short", "string"})
            RegDeleteValueA(key, Name(name).c_str());
        RegCloseKey(key);
    }

    InstallRecord m_record;  // the counts raised (engine/effect_kinds_test checks it)

    // A DLL path unique to this test run, used as a value name.
    static std::string Name(const char* base) {
        return "C:\\setup-test-" + std::to_string(GetCurrentProcessId()) + "\\" + base + ".dll";
    }

    static void Store(const std::string& name, DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
    }

    // The stored value's bytes, read past the code under test; "<missing>" when absent.
    static std::string Stored(const std::string& name, DWORD* pType = nullptr) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
        char buffer[64];
        DWORD size = sizeof buffer;
        DWORD type = 0;
        LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (pType) *pType = type;
        return rc == ERROR_SUCCESS ? std::string(buffer, size) : "<missing>";
    }
};

TEST_F(SharedDllCountTest, IncrementStartsAtOneAndCounts) {
    std::string missing = Name("missing");
    EXPECT_EQ(ReadSharedDllCount(missing.c_str()), kNoSharedDllCount);
    IncrementSharedDllCount(missing.c_str(), m_record);
    DWORD type = 0;
    EXPECT_EQ(Stored(missing, &type), Dword(1));  // the whole path is one value name
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    IncrementSharedDllCount(missing.c_str(), m_record);
    EXPECT_EQ(Stored(missing), Dword(2));
    EXPECT_EQ(ReadSharedDllCount(missing.c_str()), 2u);

    std::string three = Name("three");
    Store(three, REG_DWORD, Dword(3));
    EXPECT_EQ(ReadSharedDllCount(three.c_str()), 3u);
    IncrementSharedDllCount(three.c_str(), m_record);
    EXPECT_EQ(Stored(three), Dword(4));

    // A stored 0xFFFFFFFF cannot be told from no count at all.
    std::string none = Name("none");
    Store(none, REG_DWORD, Dword(0xFFFFFFFF));
    IncrementSharedDllCount(none.c_str(), m_record);
    EXPECT_EQ(Stored(none), Dword(1));
}

TEST_F(SharedDllCountTest, OnlyFourByteValuesAreCounts) {
    // Two bytes would fill only half of the count; twelve do not fit in it.
    std::string shortValue = Name("short");
    Store(shortValue, REG_BINARY, std::string("\x05\x00", 2));
    EXPECT_EQ(ReadSharedDllCount(shortValue.c_str()), kNoSharedDllCount);
    IncrementSharedDllCount(shortValue.c_str(), m_record);
    EXPECT_EQ(Stored(shortValue), Dword(1));

    std::string text = Name("string");
    Store(text, REG_SZ, std::string("hello world", 12));
    EXPECT_EQ(ReadSharedDllCount(text.c_str()), kNoSharedDllCount);
    IncrementSharedDllCount(text.c_str(), m_record);
    EXPECT_EQ(Stored(text), Dword(1));

    // No name: the key's default value is nobody's count and is never written.
    EXPECT_EQ(ReadSharedDllCount(nullptr), kNoSharedDllCount);
    EXPECT_FALSE(WriteSharedDllCount(nullptr, 1));
}
