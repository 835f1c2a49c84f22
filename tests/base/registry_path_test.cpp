#include "base/registry_path.h"

#include "tests/win/test_registry_key.h"

#include <gtest/gtest.h>

#include <string>

// Reads go through the real registry, under a key of the test's own.
class ReadRegistryStringTest : public ::testing::Test {
protected:
    TestRegistryKey m_key{"ReadRegistryStringTest"};
};

TEST_F(ReadRegistryStringTest, RootsInAnyCaseAndWrongFirstNames) {
    m_key.SetString("Sub", "Value", "hello");
    std::string path = "HKEY_CURRENT_USER\\" + m_key.Name() + "\\Sub\\Value";
    auto value = ReadRegistryString(path.c_str(), '\\');
    ASSERT_TRUE(value);
    EXPECT_STREQ(value.get(), "hello");

    std::string lower = "hkey_current_user|" + m_key.Name() + "\\Sub|Value";
    for (char& ch : lower)
        if (ch == '\\') ch = '|';
    value = ReadRegistryString(lower.c_str(), '|');
    ASSERT_TRUE(value);
    EXPECT_STREQ(value.get(), "hello");

    EXPECT_FALSE(ReadRegistryString(("HKCU\\" + m_key.Name() + "\\Sub\\Value").c_str(), '\\'));
    EXPECT_FALSE(ReadRegistryString(("HKEY_CURRENT_CONFIG\\" + m_key.Name() + "\\Sub\\Value").c_str(), '\\'));
    EXPECT_FALSE(ReadRegistryString("Value", '\\'));  // no separator: no key to read from
    EXPECT_FALSE(ReadRegistryString(("HKEY_CURRENT_USER\\" + m_key.Name() + "\\Missing\\Value").c_str(), '\\'));
    EXPECT_FALSE(ReadRegistryString(("HKEY_CURRENT_USER\\" + m_key.Name() + "\\Sub\\Nope").c_str(), '\\'));

    // A NUL separator (a list line "K\0SZ\0HKEY_CURRENT_USER\0x\0v") fails
    // before any registry call instead of walking on past the text's end.
    bool reached = false;
    EXPECT_FALSE(WalkRegistryPath("HKEY_CURRENT_USER", '\0', nullptr, RegistryWalk::kCreate, nullptr,
                                  [&](HKEY, const char*) { return reached = true; }));
    EXPECT_FALSE(reached);
}

TEST_F(ReadRegistryStringTest, DataIsAlwaysTerminatedAndNeverOverlong) {
    // Binary data without a terminating zero still reads as a terminated string.
    m_key.SetBinary("Sub", "Raw", std::string("abc", 3));
    auto value = ReadRegistryString(("HKEY_CURRENT_USER\\" + m_key.Name() + "\\Sub\\Raw").c_str(), '\\');
    ASSERT_TRUE(value);
    EXPECT_STREQ(value.get(), "abc");

    m_key.SetBinary("Sub", "Full", std::string(260, 'x'));
    value = ReadRegistryString(("HKEY_CURRENT_USER\\" + m_key.Name() + "\\Sub\\Full").c_str(), '\\');
    ASSERT_TRUE(value);
    EXPECT_EQ(std::string(value.get()), std::string(260, 'x'));

    m_key.SetBinary("Sub", "Long", std::string(261, 'x'));
    EXPECT_FALSE(ReadRegistryString(("HKEY_CURRENT_USER\\" + m_key.Name() + "\\Sub\\Long").c_str(), '\\'));

    // An empty last part names the key's default value.
    m_key.SetString("Sub", "", "default");
    value = ReadRegistryString(("HKEY_CURRENT_USER\\" + m_key.Name() + "\\Sub\\").c_str(), '\\');
    ASSERT_TRUE(value);
    EXPECT_STREQ(value.get(), "default");
}
