// The installation run in-process: the progress dialog's modal loop runs for
// real (on the test's display), message boxes are recorded and answered
// through the seam, and the log is read through its line observer. The
// dialog's tick is driven by the test, one step as soon as the one before has
// ended, rather than one per 200 ms of its timer: these tests are about what
// each step does, not about the pace (one runs on the dialog's own timer).
#include "app/decompress_dlg.h"

#include "formats/scramble.h"
#include "engine/registry_values.h"
#include "expand/lzhuf_encode.h"
#include "fw/app.h"
#include "fw/message_box.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"
#include "tests/win/test_registry_key.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Box {
    bool owned;
    std::string text, caption;
    UINT style;
};

std::string BinDir() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of("\\/"));
}

std::string ReadFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::string();
    std::string data;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) data.append(block, got);
    std::fclose(f);
    return data;
}

// The progress dialog with its tick driven from here: each tick it handles
// posts the next one until the run is over. Posted messages come before the
// timer's, so the run goes on at the pace of the message loop.
class DrivenDecompress : public CDlgDecompress {
public:
    using CDlgDecompress::CDlgDecompress;

    static constexpr WPARAM kDrivenTick = 0x2121;  // a timer id the dialog does not use itself
    HWND* m_pShown = nullptr;                      // receives the dialog's window when it opens

protected:
    BOOL OnInitDialog() override {
        if (m_pShown) *m_pShown = m_hWnd;
        BOOL r = CDlgDecompress::OnInitDialog();
        NextTick();
        return r;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        bool handled = CDlgDecompress::OnMessage(message, wParam, lParam, result);
        if (message == WM_TIMER && wParam == kDrivenTick) NextTick();
        return handled;
    }

private:
    void NextTick() {
        if (m_result.what == RunOutcome::kGoingOn) PostMessageA(m_hWnd, WM_TIMER, kDrivenTick, 0);
    }
};

}  // namespace

class DecompressRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, cwd);
        m_savedCwd = cwd;
        SetCurrentDirectoryA(m_dir.Path().c_str());
        m_app = m_dir.Path("App");
        NewInstallation();
        SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT style) {
            m_boxes.push_back({owner != nullptr, text ? text : "", caption ? caption : "(null)", style});
            m_log.push_back("[box] " + m_boxes.back().text);
            if (m_whileBoxOpen) m_whileBoxOpen();
            if (m_answer) return m_answer(m_boxes.back());
            return (style & 0xF) == MB_YESNO ? IDYES : IDOK;
        });
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        m_setup.reset();
        SetCurrentDirectoryA(m_savedCwd.c_str());
        for (const std::string& dll : m_countedDlls) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                              KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, dll.c_str());
                RegCloseKey(key);
            }
        }
    }

    // Makes the list from plain lines (CR LF added) the one the medium gave.
    void WriteList(const std::vector<std::string>& lines) {
        std::string plain;
        for (const std::string& line : lines) plain += line + "\r\n";
        UseList(m_setup->medium, plain);
    }
    // Writes a compressed payload of |content|.
    void WritePayload(const std::string& name, const std::string& content) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(EncodeLzhuf(reinterpret_cast<const uint8_t*>(content.data()), content.size(), file));
        m_dir.Write(name, std::string(file.begin(), file.end()));
    }
    static std::string TestDll(const std::string& name) { return ReadFile(BinDir() + "\\test_dlls\\" + name + ".dll"); }

    INT_PTR Run() {
        DrivenDecompress dlg(*m_setup);
        dlg.m_strDestDir = m_app;
        dlg.m_pShown = &m_dialog;
        return dlg.DoModal();
    }

    // The log from "Decompression box opened" on.
    std::vector<std::string> RunLog() const {
        for (size_t i = 0; i < m_log.size(); ++i)
            if (m_log[i] == "Decompression box opened") return std::vector<std::string>(m_log.begin() + i, m_log.end());
        return m_log;
    }
    std::string Joined() const {
        std::string all;
        for (const std::string& line : m_log) all += line + "\n";
        return all;
    }
    bool Logged(const std::string& line) const {
        for (const std::string& l : m_log)
            if (l == line) return true;
        return false;
    }

    // The installation's objects as the program makes them, new for each
    // installation of a test (a second one starts without a log file, as the
    // program does).
    void NewInstallation() {
        m_setup.reset(new SetupObjects);
        m_setup->log.SetLineObserver([this](const std::string& line) { m_log.push_back(line.substr(21)); });
    }

    TempDir m_dir;
    std::unique_ptr<SetupObjects> m_setup;
    std::string m_app;
    std::string m_savedCwd;
    std::vector<Box> m_boxes;
    std::vector<std::string> m_log;
    std::vector<std::string> m_countedDlls;
    std::function<int(const Box&)> m_answer;
    std::function<void()> m_whileBoxOpen;
    HWND m_dialog = nullptr;  // the progress dialog of the run
};

TEST_F(DecompressRunTest, FullRunPlacesFilesDllsShortcutsAndValues) {
    TestRegistryKey key("DecompressRunTest");
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string tempDir = temp;
    tempDir.pop_back();
    const std::string a = m_app;

    WritePayload("readme.cmp", "Read me first.\r\n");
    WritePayload("guide.cmp", std::string(5000, 'g'));
    WritePayload("newlib.cmp", TestDll("ver_4_2_1_0"));
    WritePayload("oldlib.cmp", TestDll("ver_5_0_0_0"));
    WritePayload("keeplib.cmp", TestDll("ver_4_99_0_0"));
    m_dir.Write("App\\oldlib.dll", TestDll("ver_4_2_7_3"));
    m_dir.Write("App\\keeplib.dll", TestDll("ver_5_0_0_0"));
    std::string keyPath = "HKEY_CURRENT_USER;" + key.Name() + ";";
    for (char& ch : keyPath)
        if (ch == '\\') ch = ';';
    WriteList({"X;?PRGFDIR?\\Example", "F;readme.cmp;?APPDIR?\\readme.txt", "F;guide.cmp;?APPDIR?\\docs\\guide.txt",
               "F;newlib.cmp;?APPDIR?\\newlib.dll", "F;oldlib.cmp;?APPDIR?\\oldlib.dll",
               "F;keeplib.cmp;?APPDIR?\\keeplib.dll", "L;?APPDIR?\\Group\\Readme.lnk;?APPDIR?\\readme.txt;Read me",
               "K;SZ;" + keyPath + "Name;Value", "K;DWORD;" + keyPath + "Count;42"});
    m_countedDlls = {a + "\\newlib.dll", a + "\\oldlib.dll", a + "\\keeplib.dll"};

    ASSERT_EQ(Run(), IDOK) << Joined();

    // The run's own folder below the temporary directory: "setup-" and 16
    // hexadecimal digits, gone after the run.
    const std::vector<std::string> log = RunLog();
    ASSERT_GE(log.size(), 6u) << Joined();
    const std::string named = log[5];
    ASSERT_EQ(named.rfind("Private temporary folder: " + tempDir + "\\setup-", 0), 0u) << named;
    const std::string privateDir = named.substr(26, named.size() - 27);
    EXPECT_EQ(privateDir.size(), tempDir.size() + 1 + 6 + 16) << privateDir;
    EXPECT_EQ(GetFileAttributesA(privateDir.c_str()), INVALID_FILE_ATTRIBUTES);

    std::vector<std::string> expected = {
        "Decompression box opened",
        "Directory " + a + "\\ certified to be ok",
        "Temporary path: " + tempDir + "\\",
        "Directory " + tempDir + "\\ certified to be ok",
        "Temporary path exists and is ok",
        "Private temporary folder: " + privateDir + "\\",
        "Dest Path Name: " + a + "\\readme.txt",
        "Directory " + a + "\\readme.txt certified to be ok",
        "Will decompress readme.cmp to " + a + "\\readme.txt",
        "File decompressed ok",
        "Dest Path Name: " + a + "\\docs\\guide.txt",
        "Created: " + a + "\\docs",
        "Directory " + a + "\\docs\\guide.txt certified to be ok",
        "Will decompress guide.cmp to " + a + "\\docs\\guide.txt",
        "File decompressed ok",
        "Destination pathname: " + a + "\\newlib.dll",
        "Failed to get version info from " + a + "\\newlib.dll, will replace anyway",
        "Dest Path Name: " + a + "\\newlib.dll",
        a + "\\newlib.dll does not exist previously",
        "Will decompress newlib.cmp to " + a + "\\newlib.dll",
        "File decompressed ok",
        "Destination pathname: " + a + "\\oldlib.dll",
        "Decompressed oldlib.cmp to " + privateDir + "\\oldlib.dll",
        "Dest Path Name: " + a + "\\oldlib.dll",
        a + "\\Backup not found, will have to create it",
        "Created: " + a + "\\Backup",
        "Directory " + a + "\\Backup\\ certified to be ok",
        "Directory successfully created",
        "Moved successfully: " + a + "\\oldlib.dll to " + a + "\\Backup\\oldlib.dll",
        "File " + a + "\\oldlib.dll was  successfully save to directory " + a,
        "DLL " + a + "\\oldlib.dll saved successfully",
        "Will decompress oldlib.cmp to " + a + "\\oldlib.dll",
        "File decompressed ok",
        "Destination pathname: " + a + "\\keeplib.dll",
        "Decompressed keeplib.cmp to " + privateDir + "\\keeplib.dll",
        "Will not expand to " + a + "\\keeplib.dll",
        "Created: " + a + "\\Group",
        "Directory " + a + "\\Group\\Readme.lnk certified to be ok",
        "Successfully created: " + a + "\\Group\\Readme.lnk",
        "Key added successfully: " + keyPath + "Name=Value",
        "Key added successfully: " + keyPath + "Count=2a",
        "End of Installation",
        "Some dlls were upgraded",
        "[box] Some system files (dlls) needed to be\nupgraded to newer versions. The old versions\nwere moved to the "
        "directory BACKUP, below\nthe application's directory.\n",
        "Destroying decompression box",
    };
    EXPECT_EQ(log, expected) << Joined();

    // The same lines, with their times, are in SETUP.LOG from its first line on.
    m_setup.reset();  // the program ends: the file is closed
    std::string file = ReadFile(a + "\\SETUP.LOG");
    EXPECT_NE(file.find("Decompression box opened\r\n"), std::string::npos);
    EXPECT_NE(file.find("End of Installation\r\n"), std::string::npos);

    EXPECT_EQ(ReadFile(a + "\\readme.txt"), "Read me first.\r\n");
    EXPECT_EQ(ReadFile(a + "\\docs\\guide.txt"), std::string(5000, 'g'));
    EXPECT_EQ(ReadFile(a + "\\newlib.dll"), TestDll("ver_4_2_1_0"));
    EXPECT_EQ(ReadFile(a + "\\oldlib.dll"), TestDll("ver_5_0_0_0"));
    EXPECT_EQ(ReadFile(a + "\\Backup\\oldlib.dll"), TestDll("ver_4_2_7_3"));
    EXPECT_EQ(ReadFile(a + "\\keeplib.dll"), TestDll("ver_5_0_0_0"));
    EXPECT_FALSE(ReadFile(a + "\\Group\\Readme.lnk").empty());
    EXPECT_FALSE(PathFileExistsA((tempDir + "\\oldlib.dll").c_str()));  // nothing in the temporary directory itself
    EXPECT_FALSE(PathFileExistsA((tempDir + "\\keeplib.dll").c_str()));

    DWORD type;
    std::string data;
    ASSERT_TRUE(key.Get("", "Name", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string("Value", 6));
    ASSERT_TRUE(key.Get("", "Count", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, std::string("\x2a\0\0\0", 4));
    for (const std::string& dll : m_countedDlls) EXPECT_EQ(ReadSharedDllCount(dll.c_str()), 1u) << dll;

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].owned);
    EXPECT_EQ(m_boxes[0].caption, AfxGetAppName());
    EXPECT_EQ(m_boxes[0].style, static_cast<UINT>(MB_OK));
}

TEST_F(DecompressRunTest, DestinationThatCannotBeCreated) {
    WriteList({"F;a.cmp;?APPDIR?\\a.txt"});
    m_dir.Write("blocker", "a plain file");
    m_app = m_dir.Path("blocker") + "\\App";
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(m_boxes.size(), 1u) << Joined();
    // The specified words, then the directory and the system's reason.
    EXPECT_EQ(m_boxes[0].text.rfind("Failed to create destination directory, please check problem and restart install\n\n" +
                                    m_app + "\n", 0),
              0u)
        << m_boxes[0].text;
    EXPECT_GT(m_boxes[0].text.size(), m_app.size() + 85) << "no reason given";
    EXPECT_TRUE(m_boxes[0].owned);
    EXPECT_EQ(m_boxes[0].caption, AfxGetAppName());
    ASSERT_GE(m_log.size(), 3u);
    EXPECT_EQ(m_log[1].rfind("Error creating directory " + m_app + ": ", 0), 0u) << Joined();
    EXPECT_EQ(m_log.back(), "Destroying decompression box");
}

TEST_F(DecompressRunTest, LogFileRefusedAndAnsweredNo) {
    WriteList({"F;a.cmp;?APPDIR?\\a.txt"});
    WritePayload("a.cmp", "a");
    CreateDirectoryA(m_app.c_str(), nullptr);
    CreateDirectoryA((m_app + "\\SETUP.LOG").c_str(), nullptr);  // a directory cannot be opened as the log
    m_answer = [](const Box&) { return IDNO; };
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(m_boxes.size(), 1u) << Joined();
    EXPECT_EQ(m_boxes[0].text, "Failed to create setup log file, do you wish try to continue?");
    EXPECT_EQ(m_boxes[0].caption, "Error");
    EXPECT_EQ(m_boxes[0].style, static_cast<UINT>(MB_YESNO));
    EXPECT_FALSE(m_dir.Exists("App\\a.txt"));
}

TEST_F(DecompressRunTest, LogFileRefusedAndAnsweredYesStillReloadsTheList) {
    WriteList({"F;a.cmp;?APPDIR?\\a.txt"});
    WritePayload("a.cmp", "payload");
    CreateDirectoryA(m_app.c_str(), nullptr);
    CreateDirectoryA((m_app + "\\SETUP.LOG").c_str(), nullptr);
    EXPECT_EQ(Run(), IDOK) << Joined();
    EXPECT_EQ(m_boxes.size(), 1u);
    // The list was loaded again with the destination, so ?APPDIR? is the real directory.
    EXPECT_EQ(ReadFile(m_app + "\\a.txt"), "payload");
    EXPECT_TRUE(Logged("Temporary path exists and is ok")) << Joined();
    EXPECT_FALSE(m_setup->log.Pending().empty());  // no file: the lines stay in memory
}

TEST_F(DecompressRunTest, ReloadFailure) {
    WriteList({"F;a.cmp;?APPDIR?\\a.txt", "Q;unknown"});
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_TRUE(Logged("One or more files missing, LoadFileList(m_hWnd,\"setup.drc\"," + m_app +
                       ") failed. Installation aborted."))
        << Joined();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "One or more files missing, cannot continue installation");
    EXPECT_TRUE(m_boxes[0].owned);
}

TEST_F(DecompressRunTest, TemporaryPathThatIsAFile) {
    WriteList({"F;a.cmp;?APPDIR?\\a.txt"});
    m_dir.Write("tmpfile", "x");
    char saved[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TMP", m_dir.Path("tmpfile").c_str());
    INT_PTR result = Run();
    SetEnvironmentVariableA("TMP", saved[0] ? saved : nullptr);
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(m_boxes.size(), 1u) << Joined();
    EXPECT_EQ(m_boxes[0].text, "The specified Windows temporary directory setting is wrong.\nPlease correct the problem "
                               "and reinstall.\nWrong path: " + m_dir.Path("tmpfile") + "\n");
    EXPECT_EQ(m_boxes[0].caption, "Error");
    EXPECT_EQ(m_boxes[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(m_boxes[0].owned);
    EXPECT_TRUE(Logged("Temporary path is a file, not a directory. Must abort installation"));
}

TEST_F(DecompressRunTest, AbortFromTheDllDecision) {
    // An existing versioned DLL, and no payload to compare it with.
    m_dir.Write("App\\lib.dll", TestDll("ver_4_2_1_0"));
    WriteList({"F;missing.cmp;?APPDIR?\\lib.dll", "F;a.cmp;?APPDIR?\\a.txt"});
    WritePayload("a.cmp", "a");
    m_countedDlls = {m_app + "\\lib.dll"};
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(m_boxes.size(), 2u) << Joined();
    EXPECT_EQ(m_boxes[0].text.rfind("Erro de abertura no arquivo missing.cmp", 0), 0u);
    EXPECT_TRUE(m_boxes[0].owned);  // the expander's boxes belong to the progress dialog
    EXPECT_EQ(m_boxes[1].text.rfind("Failed to decompress missing.cmp to ", 0), 0u);
    EXPECT_FALSE(m_dir.Exists("App\\a.txt"));
    EXPECT_EQ(ReadSharedDllCount((m_app + "\\lib.dll").c_str()), 1u);  // counted before the decision
}

TEST_F(DecompressRunTest, BackupFailureLeavesTheOldDllInPlace) {
    m_dir.Write("App\\lib.dll", TestDll("ver_4_2_1_0"));
    m_dir.Write("App\\Backup\\lib.dll", "an earlier backup");
    WritePayload("lib.cmp", TestDll("ver_5_0_0_0"));
    WriteList({"F;lib.cmp;?APPDIR?\\lib.dll"});
    m_countedDlls = {m_app + "\\lib.dll"};
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_TRUE(Logged("DLL " + m_app + "\\lib.dll could not be saved")) << Joined();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text.rfind("Cannot make backup of ", 0), 0u);
    EXPECT_EQ(ReadFile(m_app + "\\lib.dll"), TestDll("ver_4_2_1_0"));
    EXPECT_EQ(ReadFile(m_app + "\\Backup\\lib.dll"), "an earlier backup");
}

TEST_F(DecompressRunTest, SharedDllIsReplacedInPlaceAndTheRunGoesOn) {
    m_dir.Write("App\\Shared\\lib.dll", TestDll("ver_4_2_1_0"));
    WritePayload("lib.cmp", TestDll("ver_5_0_0_0"));
    WritePayload("a.cmp", "after");
    WriteList({"H;\\shared\\", "F;lib.cmp;?APPDIR?\\Shared\\lib.dll", "F;a.cmp;?APPDIR?\\a.txt"});
    m_countedDlls = {m_app + "\\Shared\\lib.dll"};
    EXPECT_EQ(Run(), IDOK) << Joined();
    EXPECT_TRUE(Logged("Shared DLL is replaced in place, without backup"));
    EXPECT_EQ(ReadFile(m_app + "\\Shared\\lib.dll"), TestDll("ver_5_0_0_0"));
    EXPECT_FALSE(m_dir.Exists("App\\Backup"));
    EXPECT_EQ(ReadFile(m_app + "\\a.txt"), "after");
    for (const std::string& line : m_log) EXPECT_EQ(line.find("Shared\\lib"), std::string::npos) << line;
}

TEST_F(DecompressRunTest, ExpansionFailureOfAPlainAndOfASharedFile) {
    WriteList({"F;missing.cmp;?APPDIR?\\a.txt"});
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(m_boxes.size(), 2u) << Joined();
    EXPECT_EQ(m_boxes[0].text, "Erro de abertura no arquivo missing.cmp");
    EXPECT_EQ(m_boxes[0].caption, "(null)");
    EXPECT_EQ(m_boxes[1].text, "Failed to decompress file\n" + m_app + "\\a.txt\nIs file in use?");
    EXPECT_EQ(m_boxes[1].caption, "Error");
    EXPECT_FALSE(m_boxes[1].owned);
    EXPECT_TRUE(Logged("Failed to decompress to " + m_app + "\\a.txt, must abort"));

    m_boxes.clear();
    m_log.clear();
    NewInstallation();
    WriteList({"H;common", "F;missing.cmp;?APPDIR?\\Common\\c.ocx"});
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(m_boxes.size(), 2u) << Joined();
    EXPECT_EQ(m_boxes[1].text, "Cannot decompress shared file. Please close all other applications and reinstall");
    EXPECT_TRUE(Logged("Cannot decompress shared file, must abort"));
}

// Later failures are not reported, but each has a line of its own.
TEST_F(DecompressRunTest, RegistryFailuresAreReportedUntilOneSucceeds) {
    TestRegistryKey key("DecompressRunRegistry");
    // Backslash-separated lines: the separator is the line's second byte.
    std::string good = "HKEY_CURRENT_USER\\" + key.Name() + "\\V";
    WriteList({"K\\SZ\\HKEY_NOWHERE\\a\\b\\x", "K\\SZ\\" + good + "\\ok", "K\\SZ\\HKEY_NOWHERE\\c\\d\\y",
               "K\\BIN\\" + good + "\\z"});
    EXPECT_EQ(Run(), IDOK);
    ASSERT_EQ(m_boxes.size(), 1u) << Joined();
    EXPECT_EQ(m_boxes[0].text, "Uninstall information could not successfully\nbe input to registry. The program can run "
                               "normally,\nbut its uninstallation will have to be done\nmanually.");
    int failures = 0;
    for (const std::string& line : m_log) failures += line == "Registry not successfully updated";
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(Logged("Failed to add registry key. Unknown type: "));
    EXPECT_TRUE(Logged("Registry value HKEY_NOWHERE\\c\\d could not be written")) << Joined();
    // (The list's loader leaves a type it does not know unset.)
    EXPECT_TRUE(Logged("Registry value " + good + " not written: unknown type \"\"")) << Joined();
    DWORD type;
    std::string data;
    EXPECT_TRUE(key.Get("", "V", type, data));

    m_boxes.clear();
    m_log.clear();
    NewInstallation();
    WriteList({"K\\BIN\\" + good + "\\z", "K\\SZ\\HKEY_NOWHERE\\a\\b\\x", "K\\DWORD\\HKEY_NOWHERE\\a\\b\\1"});
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(m_boxes.size(), 2u) << Joined();
    EXPECT_TRUE(Logged("Failed to add registry key. Unknown type: ")) << Joined();
}

TEST_F(DecompressRunTest, EmptyListEndsWithOk) {
    WriteList({"; nothing to install"});
    EXPECT_EQ(Run(), IDOK);
    EXPECT_TRUE(m_boxes.empty());
    ASSERT_GE(m_log.size(), 2u);
    EXPECT_EQ(m_log[m_log.size() - 2], "End of Installation");
}

// On the dialog's own 200 ms timer, which alone takes this run to its end.
TEST_F(DecompressRunTest, EnterAndEscDoNothing) {
    WritePayload("a.cmp", "a");
    WriteList({"F;a.cmp;?APPDIR?\\a.txt"});
    // Posted before the modal loop starts: the dialog sees them among its first messages.
    struct Poster : CDlgDecompress {
        using CDlgDecompress::CDlgDecompress;
        BOOL OnInitDialog() override {
            BOOL r = CDlgDecompress::OnInitDialog();
            PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            PostMessageA(m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
            return r;
        }
    } dlg(*m_setup);
    dlg.m_strDestDir = m_app;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(ReadFile(m_app + "\\a.txt"), "a");
}

TEST_F(DecompressRunTest, ADllInAMissingDirectoryGetsTheDirectory) {
    // It once ended the run: only other files had their directories made.
    WritePayload("lib.cmp", TestDll("ver_4_2_1_0"));
    WriteList({"F;lib.cmp;?APPDIR?\\NotThere\\lib.dll"});
    m_countedDlls = {m_app + "\\NotThere\\lib.dll"};
    EXPECT_EQ(Run(), IDOK) << Joined();
    EXPECT_EQ(ReadFile(m_app + "\\NotThere\\lib.dll"), TestDll("ver_4_2_1_0"));
    EXPECT_TRUE(Logged("Created: " + m_app + "\\NotThere")) << Joined();
}

TEST_F(DecompressRunTest, NoSecondStepWhileABoxIsOpen) {
    // The first entry fails; while each of its boxes is open, ticks keep
    // arriving (five, handled by the box's message loop). No step of the
    // second entry may start meanwhile.
    WritePayload("b.cmp", "b");
    WriteList({"F;missing.cmp;?APPDIR?\\a.txt", "F;b.cmp;?APPDIR?\\b.txt"});
    int dispatched = 0;
    m_whileBoxOpen = [this, &dispatched] {
        for (int i = 0; i < 5; ++i) PostMessageA(m_dialog, WM_TIMER, 1, 0);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            dispatched += msg.message == WM_TIMER;
            DispatchMessageA(&msg);
        }
    };
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_GE(dispatched, 4);  // ticks did arrive while the boxes were open
    EXPECT_EQ(m_boxes.size(), 2u) << Joined();
    EXPECT_FALSE(Logged("Dest Path Name: " + m_app + "\\b.txt")) << Joined();
    EXPECT_FALSE(m_dir.Exists("App\\b.txt"));
}
