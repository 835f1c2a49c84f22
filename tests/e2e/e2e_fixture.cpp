#include "tests/e2e/e2e_fixture.h"

#include "formats/scramble.h"

#include <cctype>
#include <cstdio>
#include <regex>
#include <cstdlib>
#include <vector>

namespace {

// A file name made of the letters and digits of |text|, others as '_'.
std::string FileNamePart(const std::string& text) {
    std::string part;
    for (char c : text) part += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return part;
}

}  // namespace

void E2eTest::SetUpTestSuite() {
    // Under Wine on a bare X server there is no window manager to draw
    // captions and frames, and Wine waits up to two seconds for one each time
    // a window is hidden. Unmanaged windows get their caption, frame and
    // system menu drawn by Wine itself (so the screenshots show the titles)
    // and hide at once. The setting lives in the test prefix, for the
    // setup.exe processes started after it. Not on Windows itself.
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
}

void E2eTest::SetUp() {}

void E2eTest::TearDown() {
    if (HasFailure()) std::printf("---- driver transcript ----\n%s---------------------------\n", m_setup.Transcript().c_str());
}

std::string E2eTest::BinDir() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of("\\/"));
}

std::string E2eTest::InstallSetupExe(const TempDir* folder) {
    std::string target = (folder ? *folder : m_medium).Path("setup.exe");
    CopyFileA((BinDir() + "\\setup.exe").c_str(), target.c_str(), FALSE);
    return target;
}

void E2eTest::StartSetup(const std::string& arguments) {
    std::string exe = InstallSetupExe();
    ASSERT_TRUE(m_setup.Start(exe, arguments, m_medium.Path()));
}

void E2eTest::StartSetupFrom(const TempDir& exeFolder, const std::string& arguments) {
    std::string exe = InstallSetupExe(&exeFolder);
    ASSERT_TRUE(m_setup.Start(exe, arguments, m_medium.Path()));
}

void E2eTest::WriteFileList(const std::string& plainList) {
    std::vector<uint8_t> bytes(plainList.begin(), plainList.end());
    ScrambleBuffer(bytes.data(), bytes.size());
    m_medium.Write("setup.drc", std::string(bytes.begin(), bytes.end()));
}

SeenWindow E2eTest::Expect(const char* what) {
    std::optional<SeenWindow> w = m_setup.NextWindow();
    if (!w) {
        ADD_FAILURE() << "expected " << what << ", saw nothing";
        return SeenWindow();
    }
    if (const char* folder = std::getenv("SETUP_SCREENSHOTS")) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(folder) + "/" + test->name() + "-" + std::to_string(++m_nScreenshots) + "-" +
                           FileNamePart(what) + ".png";
        if (!SaveScreenshot(name)) ADD_FAILURE() << "could not save the screenshot " << name;
    }
    return *w;
}

void E2eTest::ExpectNoNewWindow(const SeenWindow& answered, const SeenWindow& stays) {
    EXPECT_TRUE(m_setup.WaitClosed(answered)) << answered.Describe();
    EXPECT_TRUE(m_setup.WaitSettled(stays)) << stays.Describe();
    std::optional<SeenWindow> w = m_setup.NextWindow(0);
    EXPECT_FALSE(w) << "unexpected window: " << w->Describe();
    EXPECT_TRUE(IsWindowVisible(stays.hWnd)) << stays.Describe();
    EXPECT_FALSE(m_setup.WaitExit(0)) << "the program ended";
}

void E2eTest::ExpectEndWithoutWindow() {
    std::optional<SeenWindow> w = m_setup.NextWindow(4000);
    EXPECT_FALSE(w) << "unexpected window: " << w->Describe();
    EXPECT_TRUE(m_setup.WaitExit());
}

std::string E2eTest::ReadFile(const std::string& path) {
    std::string data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char block[4096];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, f)) > 0) data.append(block, got);
        std::fclose(f);
    }
    return data;
}

std::vector<std::string> E2eTest::LogMessages(const std::string& logPath) {
    std::string log = ReadFile(logPath);
    static const std::regex line("(\\d\\d) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} "
                                 "([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d ([^\\r\\n]*)\\r\\n");
    std::vector<std::string> messages;
    size_t covered = 0;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(static_cast<size_t>(it->position()), covered) << "not a log line: " << log.substr(covered, 80);
        covered = static_cast<size_t>(it->position() + it->length());
        messages.push_back((*it)[4]);
    }
    EXPECT_EQ(covered, log.size()) << "not a log line: " << log.substr(covered, 80);
    return messages;
}

// The temporary directory, without a trailing backslash.
std::string E2eTest::TemporaryDirectory() {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::string dir = temp;
    if (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
    return dir;
}

// The names in a folder.
std::set<std::string> E2eTest::FolderEntries(const std::string& dir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string E2eTest::StagedFileIn(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\stg*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::string();
    FindClose(search);
    return found.cFileName;
}
