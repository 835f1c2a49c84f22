// The bundled example product, packed by mksetup and installed by setup.exe
// as a user would, and two runs that go wrong on the way.
#include "tests/e2e/e2e_fixture.h"

#include "formats/setup_sum.h"
#include "base/sha256.h"
#include "base/wide_text.h"
#include "expand/lzhuf_encode.h"
#include "res/resource.h"
#include "formats/overlay.h"
#include "tests/medium_bytes.h"
#include "tools/mksetup/mksetup.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>

namespace {

// The source tree as the Windows program sees it under Wine (drive Z: is /).
std::string SourcePath(const std::string& relative) {
    std::string path = std::string("Z:") + SETUP_SOURCE_DIR + "/" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr char kUninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Example Product";

DWORD SharedDllCount(const std::string& dll) {
    DWORD count = 0, size = sizeof count;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kSharedDlls, dll.c_str(), RRF_RT_REG_DWORD, nullptr, &count, &size) !=
        ERROR_SUCCESS)
        return 0;
    return count;
}

bool KeyExists(HKEY root, const char* key) {
    HKEY opened;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

std::string RegistryString(HKEY root, const char* key, const char* value) {
    char data[MAX_PATH] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "(missing)";
    return data;
}

// The target and description of a shell link, read back through the shell.
bool ReadLink(const std::string& link, std::string& target, std::string& description) {
    CoInitialize(nullptr);
    IShellLinkA* shellLink = nullptr;
    IPersistFile* file = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink)))) {
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
            char path[MAX_PATH] = "", text[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)) &&
                SUCCEEDED(shellLink->GetDescription(text, MAX_PATH))) {
                target = path;
                description = text;
                ok = true;
            }
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return ok;
}


// A program that holds |file| open without sharing, as a running program of
// the product holds its own files (tests/e2e/file_holder.c, |exe|), until
// End or the holder goes.
class FileHolder {
public:
    FileHolder(const std::string& exe, const std::string& file) {
        static int number = 0;
        const std::string name = "setup-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++number);
        m_held = CreateEventA(nullptr, TRUE, FALSE, (name + "-held").c_str());
        m_end = CreateEventA(nullptr, TRUE, FALSE, (name + "-end").c_str());
        std::string line = "\"" + exe + "\" \"" + file + "\" " + name;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!m_held || !m_end ||
            !CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                            &m_process))
            return;
        const HANDLE either[] = {m_held, m_process.hProcess};
        m_holding = WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
    ~FileHolder() {
        End();
        for (HANDLE handle : {m_held, m_end})
            if (handle) CloseHandle(handle);
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool Holding() const { return m_holding; }
    // Lets the file go; true when the holder then ended as it should.
    bool End() {
        if (!m_process.hProcess) return false;
        SetEvent(m_end);
        DWORD code = 1;
        const bool ended = WaitForSingleObject(m_process.hProcess, 30000) == WAIT_OBJECT_0 &&
                           GetExitCodeProcess(m_process.hProcess, &code) && code == 0;
        if (!ended) TerminateProcess(m_process.hProcess, 1);
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
        m_process = PROCESS_INFORMATION();
        return ended;
    }

private:
    HANDLE m_held = nullptr, m_end = nullptr;
    PROCESS_INFORMATION m_process = {};
    bool m_holding = false;
};

// Windows restarted, as far as files go: Wine's "wineboot -r", in this
// prefix, carries out the replacements scheduled for the next restart.
bool SimulatedRestart() {
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string exe = std::string(system) + "\\wineboot.exe";
    std::string line = "wineboot.exe -r";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    DWORD code = 1;
    const bool done = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                      GetExitCodeProcess(process.hProcess, &code) && code == 0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return done;
}

}  // namespace

class ExampleE2eTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        m_tempBefore = FolderEntries(TemporaryDirectory());
    }
    void TearDown() override {
        // The uninstallers' logs and the folders they leave for the next
        // restart (see QuietUninstallString...).
        const std::string temp = TemporaryDirectory();
        for (const std::string& name : FolderEntries(temp)) {
            if (m_tempBefore.count(name)) continue;
            if (std::regex_match(name, std::regex("UNINSTALL-[0-9a-f]{8}\\.LOG"))) DeleteFileA((temp + "\\" + name).c_str());
            if (std::regex_match(name, std::regex("setup-[0-9a-f]{16}"))) RemoveTree(temp + "\\" + name);
        }
        // No planted DLL was taken by setup.exe, its uninstaller or the copy
        // of it (the marker "<dll>.loaded"; "<dll>.system" is Wine's own
        // user32 loading version.dll at start-up, see planted_dll.c).
        for (const std::string& dll : m_planted) {
            EXPECT_FALSE(PathFileExistsA((dll + ".loaded").c_str())) << "loaded into the program: " << dll;
            for (const char* marker : {"", ".loaded", ".system"}) DeleteFileA((dll + marker).c_str());
        }
        if (!m_planted.empty())
            for (const char* program : kPlantedPrograms) SHDeleteKeyA(HKEY_CURRENT_USER, program);
        E2eTest::TearDown();
        // What the example leaves outside its own directory.
        if (!m_systemDll.empty()) DeleteFileA(m_systemDll.c_str());
        char programs[MAX_PATH];
        if (SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE))
            SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Example"), RemoveTree(std::string(programs) + "\\Example");
        HKEY key;
        if (!m_systemDll.empty() &&
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, m_systemDll.c_str());
            RegCloseKey(key);
        }
        for (const char* product : {"Example Product", "Broken", "Planted"}) {
            const std::string uninstallKey = std::string(kUninstallKeys) + product;
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKey.c_str());
            SHDeleteKeyA(HKEY_CURRENT_USER, uninstallKey.c_str());
        }
    }
    static void RemoveTree(const std::string& dir) {
        std::string from = dir + '\0';
        SHFILEOPSTRUCTA op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationA(&op);
    }
    // Plants DLLs that leave a marker when loaded
    // (tests/e2e/planted_dll.c) in |folder|, and tells Wine to prefer such a
    // DLL, beside the program or wherever the search finds it, to its own in
    // setup.exe and uninstall.exe, as Windows does for DLLs that are not
    // KnownDLLs. (Wine reads WINEDLLOVERRIDES from the environment it was
    // started with, not from what a Windows process hands its children; its
    // per-program settings in the registry it reads at each start.)
    void PlantDlls(const std::string& folder) {
        if (m_planted.empty()) {
            for (const char* program : kPlantedPrograms) {
                HKEY key;
                ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(program) + "\\DllOverrides").c_str(), 0,
                                          nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                          ERROR_SUCCESS);
                for (const char* dll : kPlantedDlls)
                    RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
                RegCloseKey(key);
            }
        }
        for (const char* name : kPlantedDlls) {
            const std::string dll = std::string(name) + ".dll";
            const std::string path = folder + "\\" + dll, planted = BinDir() + "\\planted\\" + dll;
            ASSERT_TRUE(CreateHardLinkA(path.c_str(), planted.c_str(), nullptr) ||
                        CopyFileA(planted.c_str(), path.c_str(), FALSE))
                << path;
            m_planted.push_back(path);
        }
    }
    void WritePayload(const std::string& name, const std::string& content) {
        std::vector<uint8_t> packed;
        ASSERT_TRUE(EncodeLzhuf(reinterpret_cast<const uint8_t*>(content.data()), content.size(), packed));
        m_medium.Write(name, std::string(packed.begin(), packed.end()));
    }
    // Continue, I Agree, then |destination| on the destination page and Continue.
    void ThroughTheWizard(const std::string& destination) {
        m_setup.Click(Expect("the welcome page"), IDOK);
        m_setup.Click(Expect("the terms page"), IDOK);
        SeenWindow page = Expect("the destination page");
        m_setup.SetText(page, IDC_DEST_DIR, destination);
        m_setup.Click(page, IDOK);
        EXPECT_EQ(Expect("the progress dialog").caption, "Installation");
    }
    void ExpectBox(const SeenWindow& box, const std::string& text, const std::string& caption, bool owned,
                   bool errorIcon) {
        EXPECT_TRUE(box.IsMessageBox()) << box.Describe();
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(box.owner != nullptr, owned) << box.Describe();
        EXPECT_EQ(box.errorIcon, errorIcon) << box.Describe();
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    }
    // Starts |exe| with windows: before any page it shows |what|, one error
    // box of its own with |text|, and OK ends it with |exitCode|.
    void ExpectOnlyAnErrorBox(const std::string& exe, const std::string& args, const std::string& dir, const char* what,
                              const std::string& text, unsigned exitCode) {
        ASSERT_TRUE(m_setup.Start(exe, args, dir));
        SeenWindow box = Expect(what);
        ExpectBox(box, text, "Error", false, true);
        m_setup.Click(box, IDOK);
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), exitCode);
    }

    // Packs the example with mksetup into m_dist, with setup.exe beside it,
    // and puts an older example.dll in place.
    // With SETUP_E2E_MEDIUM naming a folder of this machine, the medium is
    // one that the native mksetup packed and signed (the signed_medium test).
    void PackExample() {
        m_dist = m_medium.Path("cd");
        if (const char* given = std::getenv("SETUP_E2E_MEDIUM")) {
            m_dist = std::string("Z:") + given;
            std::replace(m_dist.begin(), m_dist.end(), '/', '\\');
        } else {
            std::ostringstream out, err;
            ASSERT_EQ(RunMksetup({"build", SourcePath("examples/setup.lst"), m_exampleFiles, m_dist}, out, err), 0)
                << err.str();
            // The distribution folder as mksetup wrote it, with setup.exe beside the list.
            CopyFileA((BinDir() + "\\setup.exe").c_str(), (m_dist + "\\setup.exe").c_str(), FALSE);
        }
        char system[MAX_PATH];
        GetSystemDirectoryA(system, MAX_PATH);
        m_systemDll = std::string(system) + "\\example.dll";
        // An older example.dll without version information is in place: it is
        // replaced, and the old one goes into Backup.
        m_oldDll = ReadFile(BinDir() + "\\test_dlls\\no_version.dll");
        ASSERT_FALSE(m_oldDll.empty());
        ASSERT_TRUE(CopyFileA((BinDir() + "\\test_dlls\\no_version.dll").c_str(), m_systemDll.c_str(), FALSE));
        m_countBefore = SharedDllCount(m_systemDll);
        // DLLs planted beside setup.exe and in the temporary directory are
        // never loaded (checked when the scenario ends).
        ASSERT_NO_FATAL_FAILURE(PlantDlls(m_dist));
        ASSERT_NO_FATAL_FAILURE(PlantDlls(TemporaryDirectory()));
    }
    // The example installed into |app|, as its SETUP.LOG |log| says too.
    void ExpectExampleInstalled(const std::string& app, const std::vector<std::string>& log) {
        // Files, byte for byte; the old DLL in Backup.
        EXPECT_EQ(ReadFile(app + "\\readme.txt"), ReadFile(m_exampleFiles + "\\readme.txt"));
        EXPECT_EQ(ReadFile(app + "\\docs\\notes.txt"), ReadFile(m_exampleFiles + "\\notes.txt"));
        EXPECT_EQ(ReadFile(m_systemDll), ReadFile(m_exampleFiles + "\\example.dll"));
        EXPECT_EQ(ReadFile(app + "\\Backup\\example.dll"), m_oldDll);

        // The log from its header to its last line.
        ASSERT_GE(log.size(), 10u);
        std::string stars(15 + 24, '*');
        EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 8),
                  (std::vector<std::string>{stars, "EXAMPLE PRODUCT - INSTALLATION LOG FILE", stars, "", "Begin Installation",
                                            "Terms and conditions accepted", "Destination directory: " + app,
                                            "Decompression box opened"}));
        for (const std::string& line :
             std::vector<std::string>{"Failed to get version info from " + m_systemDll + ", will replace anyway",
              "Moved successfully: " + m_systemDll + " to " + app + "\\Backup\\example.dll",
              "Key added successfully: HKEY_CURRENT_USER;Software;Example;InstallDir=" + app,
              std::string("Key added successfully: HKEY_CURRENT_USER;Software;Example;Version=66"),
              std::string("Some dlls were upgraded")})
            EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
        EXPECT_EQ(log.back(), "Installation Successfully Completed");
        EXPECT_EQ(log[log.size() - 2], "Destroying decompression box");

        // Registry values, the shared-DLL count, the shortcut.
        EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, "Software\\Example", "InstallDir"), app);
        DWORD version = 0, size = sizeof version;
        EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\Example", "Version", RRF_RT_REG_DWORD, nullptr, &version, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(version, 102u);
        EXPECT_EQ(SharedDllCount(m_systemDll), m_countBefore + 1);
        char programs[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
        std::string target, description;
        ASSERT_TRUE(ReadLink(std::string(programs) + "\\Example\\Read me.lnk", target, description));
        EXPECT_EQ(lstrcmpiA(target.c_str(), (app + "\\readme.txt").c_str()), 0) << target;
        EXPECT_EQ(description, "Read me first");
    }

    // Writes |bytes| as the file |path|.
    static void WriteBytes(const std::string& path, const std::string& bytes) {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    // The example packed by mksetup as one setup.exe, with its product name.
    // With SETUP_E2E_SINGLE_FILE naming a file of this machine, the one that
    // the native mksetup packed and signed (the signed_medium test).
    std::string SingleFileOfTheExample() {
        if (const char* given = std::getenv("SETUP_E2E_SINGLE_FILE")) {
            std::string path = std::string("Z:") + given;
            std::replace(path.begin(), path.end(), '/', '\\');
            return ReadFile(path);
        }
        const std::string out = m_medium.Path("single");
        std::ostringstream text, err;
        EXPECT_EQ(RunMksetup({"build", SourcePath("examples/setup.lst"), m_exampleFiles, out, "--setup-exe",
                              BinDir() + "\\setup.exe", "--single-file", "--product-name", "Example Product"},
                             text, err),
                  0)
            << err.str();
        return ReadFile(out + "\\setup.exe");
    }

    TempDir m_target;
    std::string m_systemDll;
    std::string m_exampleFiles = BinDir() + "\\..\\example-files";
    std::string m_oldDll;      // the example.dll in place before the installation
    DWORD m_countBefore = 0;   // its shared-DLL count then
    std::string m_dist;        // the distribution folder
    std::vector<std::string> m_planted;  // the DLLs PlantDlls planted
    std::set<std::string> m_tempBefore;  // the temporary directory's names before the scenario
    // The DLLs planted (tests/e2e/CMakeLists.txt builds them): version.dll,
    // which setup.exe once imported, and DLLs the system loads on a
    // program's behalf, for windows and for its cryptography.
    static constexpr const char* kPlantedDlls[] = {"version", "uxtheme", "bcrypt", "crypt32", "rsaenh"};
    // Wine's settings for the programs that may take a planted DLL.
    static constexpr const char* kPlantedPrograms[] = {"Software\\Wine\\AppDefaults\\setup.exe",
                                                       "Software\\Wine\\AppDefaults\\uninstall.exe"};
};

TEST_F(ExampleE2eTest, FullInstallationOfTheBundledExample) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string& dist = m_dist;
    ASSERT_TRUE(m_setup.Start(dist + "\\setup.exe", "Example*Product", dist));

    SeenWindow welcome = Expect("the welcome page");
    // The list is swapped while the first page shows, for one that writes a
    // value of its own: what was read and checked at start-up is installed.
    const std::string drc = dist + "\\setup.drc", goodDrc = ReadFile(drc);
    m_medium.Write("swapped.drc", ScrambledList("K;SZ;HKEY_CURRENT_USER;Software;Example;Swapped;yes\r\n"));
    ASSERT_TRUE(CopyFileA(m_medium.Path("swapped.drc").c_str(), drc.c_str(), FALSE));
    // Nor can setup.exe itself be renamed and replaced while it runs: the
    // uninstaller is copied from it at the end.
    const std::string program = dist + "\\setup.exe", moved = dist + "\\moved.exe";
    const bool renamed = MoveFileA(program.c_str(), moved.c_str()) != 0;
    EXPECT_FALSE(renamed);
    if (renamed) MoveFileA(moved.c_str(), program.c_str());
    EXPECT_EQ(welcome.caption, "Example Product Setup");
    EXPECT_EQ(welcome.buttons, (std::vector<std::string>{"Continue", "Cancel"}));
    EXPECT_EQ(welcome.GetControl(IDC_WELCOME_TEXT)->text, ReadFile(SourcePath("examples/Setup2.txt")));
    EXPECT_TRUE(welcome.style & WS_SYSMENU);
    m_setup.Click(welcome, IDOK);

    SeenWindow terms = Expect("the terms page");
    EXPECT_EQ(terms.caption, "Terms and Conditions");
    EXPECT_EQ(terms.buttons, (std::vector<std::string>{"I Agree", "Cancel"}));
    EXPECT_EQ(terms.GetControl(IDC_TERMS_TEXT)->text, ReadFile(SourcePath("examples/terms.txt")));
    m_setup.Click(terms, IDOK);

    SeenWindow page = Expect("the destination page");
    EXPECT_EQ(page.caption, "Example Product Setup");
    EXPECT_EQ(page.buttons, (std::vector<std::string>{"Continue", "Back"}));
    EXPECT_EQ(page.GetControl(IDC_DEST_DIR)->text,
              RegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir") +
                  "\\Example");
    std::string app = m_target.Path("Example");
    m_setup.SetText(page, IDC_DEST_DIR, app);
    m_setup.Click(page, IDOK);

    SeenWindow progress = Expect("the progress dialog");
    EXPECT_EQ(progress.caption, "Installation");
    EXPECT_FALSE(progress.style & WS_SYSMENU);
    SeenWindow upgraded = Expect("the upgraded-DLLs message");
    ExpectBox(upgraded,
              "Some system files (dlls) needed to be\nupgraded to newer versions. The old versions\nwere moved to the "
              "directory BACKUP, below\nthe application's directory.\n",
              "setup", true, false);
    m_setup.Click(upgraded, IDOK);
    SeenWindow done = Expect("the success message");
    ExpectBox(done, "Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and Example Product.",
              "", false, false);
    m_setup.Click(done, IDOK);
    ExpectEndWithoutWindow();

    m_medium.Write("good.drc", goodDrc);  // the medium as it was, for the scenarios after this one
    ASSERT_TRUE(CopyFileA(m_medium.Path("good.drc").c_str(), drc.c_str(), FALSE));
    std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    ExpectExampleInstalled(app, log);
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, "Software\\Example", "Swapped"), "(missing)");
}

TEST_F(ExampleE2eTest, ADestinationThatIsNotAFullPathIsRefusedAndThePageStaysOpen) {
    // An empty text once installed into the root of the current drive.
    WritePayload("empty.pak", "at the root\r\n");
    WriteFileList("F;empty.pak;?APPDIR?\\setup-e2e-root.txt\r\n");
    StartSetup("Root");
    m_setup.Click(Expect("the welcome page"), IDOK);
    m_setup.Click(Expect("the terms page"), IDOK);
    // The same page takes each attempt: it stays open after each refusal.
    SeenWindow page = Expect("the destination page");
    for (const std::string typed : {"", "Relative\\Dir", "C:"}) {
        m_setup.SetText(page, IDC_DEST_DIR, typed);
        m_setup.Click(page, IDOK);
        SeenWindow refusal = Expect("the box saying what is expected");
        ExpectBox(refusal,
                  "The destination directory must be a full path: " + typed +
                      "\nA drive and a directory, such as C:\\Apps\\Example, or a network share, such as "
                      "\\\\server\\share\\Example.",
                  "Error", true, true);
        m_setup.Click(refusal, IDOK);
    }
    m_setup.Click(page, IDCANCEL);  // Back
    m_setup.PressKey(Expect("the terms page"), VK_ESCAPE);
    ExpectEndWithoutWindow();
    EXPECT_FALSE(PathFileExistsA("C:\\setup-e2e-root.txt"));
    EXPECT_FALSE(PathFileExistsA("C:\\SETUP.LOG"));
}

TEST_F(ExampleE2eTest, APayloadMissingInTheMiddleAbortsAndKeepsWhatWasPlaced) {
    WritePayload("a.pak", "first");
    WritePayload("c.pak", "third");
    std::string app = m_target.Path("App");
    WriteFileList("F;a.pak;?APPDIR?\\a.txt\r\nF;b.pak;?APPDIR?\\b.txt\r\nF;c.pak;?APPDIR?\\c.txt\r\n");
    StartSetup("Broken");
    ThroughTheWizard(app);
    // The expander's own box (no caption of its own: the system's "Error"),
    // owned by the progress dialog; then the run's box; then the sequence's.
    SeenWindow expander = Expect("the expander's box");
    ExpectBox(expander, "Erro de abertura no arquivo b.pak", "Error", true, true);
    m_setup.Click(expander, IDOK);
    SeenWindow run = Expect("the run's box");
    ExpectBox(run, "Failed to decompress file\n" + app + "\\b.txt\nIs file in use?", "Error", false, true);
    m_setup.Click(run, IDOK);
    SeenWindow aborted = Expect("the aborted message");
    ExpectBox(aborted, "Installation Aborted", "", false, false);
    m_setup.Click(aborted, IDOK);
    ExpectEndWithoutWindow();

    EXPECT_EQ(ReadFile(app + "\\a.txt"), "first");
    EXPECT_FALSE(PathFileExistsA((app + "\\c.txt").c_str()));
    std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"Failed to decompress to " + app + "\\b.txt, must abort",
                                        "Destroying decompression box",
                                        "Installation Aborted (DlgDecompress did not return IDOK)"}));
}

namespace {

// Removes the lines an installation without windows adds to SETUP.LOG: the
// terms accepted by whoever started it, and the texts of the boxes.
std::vector<std::string> WithoutUnattendedLines(std::vector<std::string> log, const std::vector<std::string>& added) {
    for (const std::string& line : added) {
        auto at = std::find(log.begin(), log.end(), line);
        EXPECT_NE(at, log.end()) << "not in the log: " << line;
        if (at != log.end()) log.erase(at);
    }
    return log;
}

const char kTermsUnattended[] =
    "Unattended installation (/S): the terms and conditions count as accepted by whoever started it";

}  // namespace

TEST_F(ExampleE2eTest, UnattendedInstallationOfTheBundledExample) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    std::string app = m_target.Path("Example");
    ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product /S /D=" + app, m_dist));
    ExpectEndWithoutWindow();  // no window at any time
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    std::printf("unattended installation of the example: %.0f ms from start to end of setup.exe\n",
                m_setup.LifetimeMs());

    std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    ExpectExampleInstalled(
        app, WithoutUnattendedLines(
                 log, {kTermsUnattended,
                       "Some system files (dlls) needed to be upgraded to newer versions. The old versions were moved "
                       "to the directory BACKUP, below the application's directory. ",
                       "Installation Successfully Completed. To start the program, just click Start, Programs and "
                       "Example Product."}));
}

TEST_F(ExampleE2eTest, UnattendedWithAPayloadMissingInTheMiddleAndADestinationWithBlanks) {
    WritePayload("a.pak", "first");
    WritePayload("c.pak", "third");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallKeys) + "Broken").c_str());  // left by another scenario
    std::string app = m_target.Path("Some Dir\\With  Blanks");
    WriteFileList("F;a.pak;?APPDIR?\\a.txt\r\nF;b.pak;?APPDIR?\\b.txt\r\nF;c.pak;?APPDIR?\\c.txt\r\n");
    StartSetup("Broken /S /D=" + app);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 1u);

    // Unattended, the run undoes what it did: only its log stays, in the
    // directories it made for it; nothing is recorded or registered.
    EXPECT_EQ(FolderEntries(m_target.Path()), std::set<std::string>{"Some Dir"});
    EXPECT_EQ(FolderEntries(app), std::set<std::string>{"SETUP.LOG"});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, (std::string(kUninstallKeys) + "Broken").c_str()));
    std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    // (Less the lines of the Add/Remove entry registered at the start, gone as the key above says.)
    log.erase(std::remove_if(log.begin(), log.end(),
                             [](const std::string& line) {
                                 return line.rfind("Removed registry ", 0) == 0 &&
                                        line.find("\\Uninstall\\Broken") != std::string::npos;
                             }),
              log.end());
    ASSERT_GE(log.size(), 12u);
    EXPECT_NE(std::find(log.begin(), log.end(), "Destination directory: " + app), log.end());
    EXPECT_EQ(std::vector<std::string>(log.end() - 12, log.end()),
              (std::vector<std::string>{"Will decompress b.pak to " + app + "\\b.txt",
                                        "Erro de abertura no arquivo b.pak",
                                        "Failed to decompress file " + app + "\\b.txt Is file in use?",
                                        "Failed to decompress to " + app + "\\b.txt, must abort",
                                        "Undoing the installation's changes",
                                        "Removed: " + app + "\\a.txt",
                                        "Directory " + app + " is not empty, kept",
                                        "Directory " + m_target.Path("Some Dir") + " is not empty, kept",
                                        "Installation undone",
                                        "Destroying decompression box",
                                        "Installation Aborted (DlgDecompress did not return IDOK)",
                                        "Installation Aborted"}));
}

// Runs that fail, each leaving what was there before: a damaged distribution
// (checked against the setup.sum mksetup wrote), a destination file that
// cannot be written, a temporary directory that is a file. Each case has a
// destination of its own and starts from the distribution as packed: a file
// it damages is put back when it ends, whatever its outcome, so no case
// depends on what one before it did or left.
TEST_F(ExampleE2eTest, EveryFailureLeavesWhatWasThere) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string dll = m_dist + "\\example.dll", readme = m_dist + "\\readme.txt";
    const std::string drc = m_dist + "\\setup.drc";
    const std::string goodDll = ReadFile(dll), goodReadme = ReadFile(readme), goodDrc = ReadFile(drc);
    // A file of the distribution changed for one case, as packed again when the case ends.
    struct Damaged {
        Damaged(const std::string& path, const std::string& bytes, const std::string& packed) : path(path), packed(packed) {
            WriteBytes(path, bytes);
        }
        ~Damaged() { WriteBytes(path, packed); }
        const std::string path, packed;
    };
    auto install = [&](const std::string& app, DWORD expectedExit) {
        ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product /S /D=" + app, m_dist));
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), expectedExit);
    };
    auto logged = [&](const std::string& app, const std::string& line) {
        const std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
        return std::find(log.begin(), log.end(), line) != log.end();
    };
    auto noTemporaryLeft = [&](const std::string& app) { return StagedFileIn(app).empty(); };
    const std::string damagedText = " is not as it was packed.\nPlease get a new copy of the installation files and "
                                    "run Setup again.";
    const std::string oldReadme = "the readme of an earlier version\r\n";

    // A changed setup.drc: one box before any window, exit 3, nothing made.
    {
        const std::string app = m_target.Path("Drc\\Example");
        Damaged damaged(drc, goodDrc + ";", goodDrc);
        ExpectOnlyAnErrorBox(m_dist + "\\setup.exe", "Example*Product", m_dist, "the damaged-distribution box",
                             "The installation files are damaged: setup.drc" + damagedText, 3u);
        EXPECT_FALSE(PathFileExistsA(app.c_str()));
    }

    // A changed byte in the DLL's payload: the older DLL, already moved into
    // Backup, goes back; exit 3.
    {
        const std::string app = m_target.Path("Dll\\Example");
        std::string changed = goodDll;
        changed[changed.size() / 2] ^= 0x20;
        Damaged damaged(dll, changed, goodDll);
        install(app, 3);
        EXPECT_EQ(ReadFile(m_systemDll), m_oldDll);
        EXPECT_FALSE(PathFileExistsA((app + "\\Backup\\example.dll").c_str()));
        EXPECT_TRUE(logged(app, "Damaged distribution: example.dll does not match setup.sum, must abort"));
        EXPECT_TRUE(logged(app, "Old DLL " + m_systemDll + " moved back from " + app + "\\Backup\\example.dll"));
    }

    // A payload cut short, over an older readme: the old one stays.
    {
        const std::string app = m_target.Path("Short\\Example");
        m_target.Write("Short\\Example\\readme.txt", oldReadme);
        Damaged damaged(readme, goodReadme.substr(0, goodReadme.size() - 8), goodReadme);
        install(app, 3);
        EXPECT_EQ(ReadFile(app + "\\readme.txt"), oldReadme);
        EXPECT_TRUE(logged(app, "Damaged distribution: readme.txt does not match setup.sum, must abort"));
        EXPECT_TRUE(noTemporaryLeft(app));
    }

    // A read-only readme is not written over.
    {
        const std::string app = m_target.Path("ReadOnly\\Example");
        const std::string readmePath = app + "\\readme.txt";
        m_target.Write("ReadOnly\\Example\\readme.txt", oldReadme);
        ASSERT_TRUE(SetFileAttributesA(readmePath.c_str(), FILE_ATTRIBUTE_READONLY));
        install(app, 1);
        EXPECT_EQ(ReadFile(readmePath), oldReadme);
        EXPECT_TRUE(logged(app, "Failed to decompress to " + readmePath + ", must abort"));
        EXPECT_TRUE(noTemporaryLeft(app));
        SetFileAttributesA(readmePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    // The temporary directory is a file: the run ends before any file. With
    // a temporary directory again, the same destination installs.
    {
        const std::string app = m_target.Path("TempFile\\Example");
        const std::string readmePath = app + "\\readme.txt";
        m_target.Write("TempFile\\Example\\readme.txt", oldReadme);
        const std::string tempFile = m_target.Path("temp-is-a-file");
        m_target.Write("temp-is-a-file", "");
        char savedTmp[MAX_PATH] = "", savedTemp[MAX_PATH] = "";
        GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
        GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
        SetEnvironmentVariableA("TMP", tempFile.c_str());
        SetEnvironmentVariableA("TEMP", tempFile.c_str());
        install(app, 1);
        SetEnvironmentVariableA("TMP", savedTmp[0] ? savedTmp : nullptr);
        SetEnvironmentVariableA("TEMP", savedTemp[0] ? savedTemp : nullptr);
        EXPECT_EQ(ReadFile(readmePath), oldReadme);
        EXPECT_TRUE(logged(app, "Temporary path is a file, not a directory. Must abort installation"));

        install(app, 0);
        EXPECT_EQ(ReadFile(readmePath), ReadFile(m_exampleFiles + "\\readme.txt"));
    }
}

// A drive that fills up while a file is expanded onto it: the full_disk test
// mounts a 1 MB tmpfs as the drive named by SETUP_E2E_SMALL_DRIVE.
TEST_F(ExampleE2eTest, AFullDiskDuringAnExpansionKeepsTheOldFile) {
    const char* drive = std::getenv("SETUP_E2E_SMALL_DRIVE");
    if (!drive) GTEST_SKIP() << "the full_disk test runs this on a drive it mounts";
    std::mt19937 random(7);
    std::string noise(1536 * 1024, '\0');  // does not compress: more than the drive holds
    for (char& ch : noise) ch = char(random());
    WritePayload("small.pak", "small");
    WritePayload("big.pak", noise);
    WriteFileList("F;small.pak;?APPDIR?\\small.txt\r\nF;big.pak;?APPDIR?\\big.dat\r\n");
    const std::string app = std::string(drive) + "\\Full", big = app + "\\big.dat";
    ASSERT_TRUE(CreateDirectoryA(app.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string old(100 * 1024, 'o');
    FILE* file = std::fopen(big.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(old.data(), 1, old.size(), file);
    std::fclose(file);

    StartSetup("Broken /S /D=" + app);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 1u);
    // The old file was kept aside as a copy (the private folder is on
    // another drive) and comes back; the new small file goes again.
    EXPECT_FALSE(PathFileExistsA((app + "\\small.txt").c_str()));
    EXPECT_EQ(ReadFile(big), old);
    const std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    for (const std::string& line : {"Erro de acesso ao arquivo " + big, "Failed to decompress to " + big + ", must abort"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    EXPECT_EQ(StagedFileIn(app), "") << "a temporary file is left";
}

// Removal of the example through what it registered in Add/Remove Programs.
class ExampleUninstallE2eTest : public ExampleE2eTest {
protected:
    void InstallUnattended(const std::string& app, DWORD exitCode = 0) {
        ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product /S /D=" + app, m_dist));
        ExpectEndWithoutWindow();
        ASSERT_EQ(m_setup.ExitCode(), exitCode);
    }
    // Starts a registered command line: a quoted program and its arguments.
    void StartRegistered(const std::string& command) {
        ASSERT_EQ(command[0], '"') << command;
        const size_t end = command.find('"', 1);
        ASSERT_NE(end, std::string::npos) << command;
        ASSERT_TRUE(m_setup.Start(command.substr(1, end - 1), command.substr(end + 2), m_dist));
    }
    // Nothing of the example is left; the system DLL and its count are as before.
    void ExpectNothingLeft(const std::string& app) {
        EXPECT_FALSE(PathFileExistsA(app.c_str())) << app;
        EXPECT_EQ(ReadFile(m_systemDll), m_oldDll);
        EXPECT_EQ(SharedDllCount(m_systemDll), m_countBefore);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Example"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
        char programs[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
        EXPECT_FALSE(PathFileExistsA((std::string(programs) + "\\Example").c_str()));
    }
};

// The record is obeyed only as the installation registered it: one planted
// before the installation is not merged, and a changed one is refused.
TEST_F(ExampleUninstallE2eTest, QuietUninstallStringRemovesEverythingAndBringsTheOldDllBack) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string app = m_target.Path("Example");
    // What forged lines would do with the uninstaller's rights: delete a file
    // of someone else's, move a user's file into the system directory, write
    // a Run value, remove an empty folder that is not the installation's.
    const std::string victim = m_target.Path("victim.txt"), mine = m_target.Path("mine.dll");
    const std::string moved = m_systemDll.substr(0, m_systemDll.rfind('\\')) + "\\planted.dll";
    const std::string emptyDir = m_target.Path("empty");
    m_target.Write("victim.txt", "not the installation's");
    m_target.Write("mine.dll", "the user's");
    ASSERT_TRUE(CreateDirectoryA(emptyDir.c_str(), nullptr));
    const char run[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string forged = "new\t" + victim + "\nbackup\t" + moved + "\t" + mine + "\nvalue\tHKEY_LOCAL_MACHINE\\" +
                               run + "\tPlanted\t+\t1\t433A5C782E65786500\ndir\t" + emptyDir + "\n";
    auto expectUntouched = [&]() {
        EXPECT_EQ(ReadFile(victim), "not the installation's");
        EXPECT_EQ(ReadFile(mine), "the user's");
        EXPECT_FALSE(PathFileExistsA(moved.c_str()));
        EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, run, "Planted"), "(missing)");
        EXPECT_TRUE(PathIsDirectoryA(emptyDir.c_str()));
    };
    m_target.Write("Example\\uninstall.dat", "SETUP UNINSTALL RECORD 1\nproduct\tExample Product\n" + forged + "end\t4\n");
    const std::string temp = TemporaryDirectory();
    const std::set<std::string> tempBefore = FolderEntries(temp);
    ASSERT_NO_FATAL_FAILURE(InstallUnattended(app));
    EXPECT_EQ(FolderEntries(temp), tempBefore);  // the installation leaves nothing there
    const std::string uninstaller = "\"" + app + "\\uninstall.exe\" /uninstall";
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Example Product");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), uninstaller);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), app);
    const std::string quiet = RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
    EXPECT_EQ(quiet, uninstaller + " /S");
    const std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    EXPECT_NE(std::find(log.begin(), log.end(), "Uninstall record written: " + app + "\\uninstall.dat"), log.end());

    // The planted record is replaced, and the one written is registered by its digest.
    const std::string record = ReadFile(app + "\\uninstall.dat");
    EXPECT_EQ(record.find(victim), std::string::npos) << record;
    const std::string setAside = "Uninstall record " + app + "\\uninstall.dat not merged (no Uninstall key in the "
                                 "registry is for " + app + "); a new record replaces it";
    EXPECT_NE(std::find(log.begin(), log.end(), setAside), log.end());
    Sha256Digest digest;
    ASSERT_TRUE(HashBytes(record.data(), record.size(), digest));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallRecordSHA256"), DigestHex(digest));
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Key added successfully: HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) +
                            "\\UninstallRecordSHA256=" + DigestHex(digest)),
              log.end());

    // A record cut short, or changed by one byte, is refused before anything is touched.
    std::string oneByte = record;
    oneByte[oneByte.find("readme.txt")] ^= 1;
    for (const std::string& damaged : {record.substr(0, record.size() / 2), oneByte}) {
        m_target.Write("Example\\uninstall.dat", damaged);
        ASSERT_NO_FATAL_FAILURE(StartRegistered(quiet));
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), 3u);
        EXPECT_EQ(ReadFile(app + "\\readme.txt"), ReadFile(m_exampleFiles + "\\readme.txt"));
        EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString"), quiet);
    }
    // So is a whole record with a line added; the box says why.
    std::string added = record;
    const size_t end = added.rfind("end\t");
    const int count = std::atoi(added.c_str() + end + 4);
    added.replace(end, std::string::npos, forged + "end\t" + std::to_string(count + 4) + "\n");
    m_target.Write("Example\\uninstall.dat", added);
    ASSERT_NO_FATAL_FAILURE(StartRegistered(uninstaller));
    SeenWindow box = Expect("the refusal");
    EXPECT_EQ(box.text, "The uninstall information in " + app + " is missing or damaged:\nuninstall.dat is not the "
                        "record registered in HKEY_LOCAL_MACHINE\\" + kUninstallKey + "\nNothing was removed.");
    m_setup.Click(box, IDOK);
    ASSERT_TRUE(m_setup.WaitExit());
    EXPECT_EQ(m_setup.ExitCode(), 3u);
    expectUntouched();
    EXPECT_EQ(ReadFile(app + "\\readme.txt"), ReadFile(m_exampleFiles + "\\readme.txt"));

    // A record in a folder of the user's, vouched for by an Uninstall key in
    // HKCU alone, which the user may write: the uninstaller, which runs with
    // an administrator's rights, does not obey it.
    const std::string planted = m_target.Path("Planted");
    ASSERT_TRUE(CreateDirectoryA(planted.c_str(), nullptr));
    m_target.Write("Planted\\uninstall.dat", added);
    ASSERT_TRUE(HashBytes(added.data(), added.size(), digest));
    HKEY plantedKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kUninstallKeys) + "Planted").c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &plantedKey, nullptr),
              ERROR_SUCCESS);
    const std::string plantedDigest = DigestHex(digest);
    RegSetValueExA(plantedKey, "InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(planted.c_str()),
                   DWORD(planted.size() + 1));
    RegSetValueExA(plantedKey, "UninstallRecordSHA256", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(plantedDigest.c_str()), DWORD(plantedDigest.size() + 1));
    RegCloseKey(plantedKey);
    ASSERT_NO_FATAL_FAILURE(StartRegistered(uninstaller + " /S /D=" + planted));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 3u);
    expectUntouched();

    m_target.Write("Example\\uninstall.dat", record);
    // The folders the uninstaller's copy once ran from (uninstall-<its
    // process id>, reused when it existed), made beforehand with a DLL in
    // each: never entered.
    std::vector<std::string> madeBefore;
    for (int id = 0; id <= 2000; id += 4) {
        madeBefore.push_back(temp + "\\uninstall-" + std::to_string(id));
        ASSERT_TRUE(CreateDirectoryA(madeBefore.back().c_str(), nullptr)) << madeBefore.back();
        ASSERT_NO_FATAL_FAILURE(PlantDlls(madeBefore.back()));
    }
    const std::set<std::string> tempBeforeUninstall = FolderEntries(temp);
    ASSERT_NO_FATAL_FAILURE(StartRegistered(quiet));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    ExpectNothingLeft(app);
    expectUntouched();

    // What stays in the temporary directory is the log, under a name no one
    // had before, and the copy's own folder with nothing in it but this
    // program's file, which the copy moved there and which no program can
    // delete while it runs: both go at the next restart.
    std::set<std::string> newInTemp = FolderEntries(temp);
    for (const std::string& name : tempBeforeUninstall) EXPECT_EQ(newInTemp.erase(name), 1u) << "removed: " << name;
    ASSERT_EQ(newInTemp.size(), 2u);
    const std::string logName = *newInTemp.begin(), asideFolder = *newInTemp.rbegin();
    EXPECT_TRUE(std::regex_match(logName, std::regex("UNINSTALL-[0-9a-f]{8}\\.LOG"))) << logName;
    EXPECT_TRUE(std::regex_match(asideFolder, std::regex("setup-[0-9a-f]{16}"))) << asideFolder;
    const std::string aside = temp + "\\" + asideFolder;
    EXPECT_EQ(FolderEntries(aside), std::set<std::string>{"uninstall.old"});
    char pending[8192] = {};
    DWORD size = sizeof pending - 2;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                           "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size),
              ERROR_SUCCESS);
    // Pairs of names: the file, and where it goes (empty: deleted).
    std::vector<std::string> atRestart;
    for (const char* entry = pending; entry < pending + size; entry += std::strlen(entry) + 1) atRestart.push_back(entry);
    for (const std::string& path : {aside + "\\uninstall.old", aside})
        EXPECT_NE(std::find(atRestart.begin(), atRestart.end(), "\\??\\" + path), atRestart.end()) << path;
    const std::vector<std::string> uninstallLog = LogMessages(temp + "\\" + logName);
    ASSERT_GE(uninstallLog.size(), 2u);
    EXPECT_EQ(uninstallLog.front(), "Uninstallation from " + app + " (unattended, /S)");
    EXPECT_EQ(uninstallLog.back(), "Uninstallation Successfully Completed");
    const std::regex movedAside("Removed: (.*)\\\\uninstall\\.exe \\(moved to (.*)\\\\uninstall\\.old while it runs\\)");
    std::smatch asideLine;
    for (const std::string& line : uninstallLog)
        if (std::regex_match(line, asideLine, movedAside)) break;
    ASSERT_FALSE(asideLine.empty()) << "no line for uninstall.exe";
    EXPECT_EQ(asideLine[1].str(), app);
    EXPECT_EQ(asideLine[2].str(), aside);
    for (const std::string& folder : madeBefore) {
        std::set<std::string> planted;
        for (const char* name : kPlantedDlls) planted.insert(std::string(name) + ".dll");
        EXPECT_EQ(FolderEntries(folder), planted) << folder;
        for (const std::string& dll : planted) DeleteFileA((folder + "\\" + dll).c_str());
        RemoveDirectoryA(folder.c_str());
    }
    m_planted.resize(2 * std::size(kPlantedDlls));  // their DLLs, checked and gone
}

// Installed again over an earlier version while a program of it runs and
// holds its readme: unattended, the readme is replaced when Windows
// restarts (exit code 3010); with windows, a box names the file first.
TEST_F(ExampleUninstallE2eTest, InstallationsOverAFileInUseOneInteractiveUninstallAndAUserFile) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    // A newer example.dll that another program counted twice is in place: kept
    // by every installation, untouched by the uninstallation, its count back at 2.
    m_oldDll = ReadFile(BinDir() + "\\test_dlls\\ver_5_0_0_0.dll");
    ASSERT_TRUE(CopyFileA((BinDir() + "\\test_dlls\\ver_5_0_0_0.dll").c_str(), m_systemDll.c_str(), FALSE));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    m_countBefore = 2;
    RegSetValueExA(key, m_systemDll.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_countBefore), 4);
    RegCloseKey(key);

    const std::string app = m_target.Path("Example");
    const std::string readme = app + "\\readme.txt", holder = BinDir() + "\\file_holder.exe";
    const std::string newReadme = ReadFile(m_exampleFiles + "\\readme.txt");
    const std::string oldReadme = "the readme of an earlier version\r\n";
    auto noStagedFileLeft = [&app]() { return StagedFileIn(app).empty(); };
    // Each installation checks the DLL's version in a private folder of its
    // own, gone when it ends.
    std::vector<std::string> privateFolders;
    for (int run = 0; run < 2; ++run) {
        // The second time over an earlier version, whose program holds its readme.
        std::unique_ptr<FileHolder> held;
        if (run == 1) {
            m_target.Write("Example\\readme.txt", oldReadme);
            m_target.Write("Example\\docs\\notes.txt", "the notes of an earlier version\r\n");
            held.reset(new FileHolder(holder, readme));
            ASSERT_TRUE(held->Holding());
        }
        ASSERT_NO_FATAL_FAILURE(InstallUnattended(app, run == 0 ? 0 : 3010));
        const std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
        for (const std::string& line : log)
            if (line.rfind("Decompressed example.dll to ", 0) == 0) privateFolders.push_back(line.substr(28));
        ASSERT_EQ(privateFolders.size(), run + 1u);
        const std::string folder = privateFolders.back().substr(0, privateFolders.back().rfind('\\'));
        EXPECT_TRUE(std::regex_match(folder, std::regex(".*\\\\setup-[0-9a-f]{16}"))) << folder;
        EXPECT_FALSE(PathFileExistsA(folder.c_str())) << folder;
        if (!held) continue;
        // Every other file is new; the readme stays the old one until the
        // program has ended and Windows restarts.
        EXPECT_NE(std::find(log.begin(), log.end(), "File in use, replaced when Windows restarts: " + readme), log.end());
        EXPECT_EQ(ReadFile(app + "\\docs\\notes.txt"), ReadFile(m_exampleFiles + "\\notes.txt"));
        ASSERT_TRUE(held->End());
        EXPECT_EQ(ReadFile(readme), oldReadme);
        EXPECT_FALSE(noStagedFileLeft());
        ASSERT_TRUE(SimulatedRestart());
        EXPECT_EQ(ReadFile(readme), newReadme);
        EXPECT_TRUE(noStagedFileLeft());
    }
    EXPECT_NE(privateFolders[0], privateFolders[1]);
    EXPECT_EQ(SharedDllCount(m_systemDll), 4u);

    // With windows: before the progress dialog, one box names the file in use
    // (Wine's Restart Manager names no program). Cancel ends as a Cancel in
    // the wizard does and changes nothing; Continue leaves the file for the
    // restart, and the final message says so; Try Again looks again.
    m_target.Write("Example\\readme.txt", oldReadme);
    FileHolder held(holder, readme);
    ASSERT_TRUE(held.Holding());
    const std::string record = ReadFile(app + "\\uninstall.dat"), setupLog = ReadFile(app + "\\SETUP.LOG");
    auto throughTheWizardToTheBox = [&]() {
        m_setup.Click(Expect("the welcome page"), IDOK);
        m_setup.Click(Expect("the terms page"), IDOK);
        SeenWindow page = Expect("the destination page");
        m_setup.SetText(page, IDC_DEST_DIR, app);
        m_setup.Click(page, IDOK);
    };
    auto expectInUseBox = [&](const SeenWindow& box) {
        EXPECT_EQ(box.text, "These files are in use by another program and cannot be replaced now:\n\n" + readme +
                                "\n\nClose the programs and choose Try Again.\nContinue replaces the "
                                "files when Windows restarts;\nCancel stops Setup without changing anything.");
        EXPECT_EQ(box.caption, "setup");
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.buttons, (std::vector<std::string>{"Cancel", "&Try Again", "&Continue"}));
    };
    ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product", m_dist));
    throughTheWizardToTheBox();
    SeenWindow box = Expect("the files-in-use box");
    expectInUseBox(box);
    m_setup.Click(box, IDCANCEL);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 4u);
    EXPECT_EQ(ReadFile(app + "\\uninstall.dat"), record);
    EXPECT_EQ(ReadFile(app + "\\SETUP.LOG"), setupLog);
    EXPECT_EQ(SharedDllCount(m_systemDll), 4u);

    const std::string completed =
        "Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and Example Product.";
    ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product", m_dist));
    throughTheWizardToTheBox();
    m_setup.Click(Expect("the files-in-use box"), IDCONTINUE);
    EXPECT_EQ(Expect("the progress dialog").caption, "Installation");
    SeenWindow atRestart = Expect("the success message, with the restart");
    ExpectBox(atRestart,
              completed + "\n\nSome files were in use: they are replaced when Windows restarts.\nRestart Windows to "
                          "complete the installation.",
              "", false, false);
    m_setup.Click(atRestart, IDOK);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 3010u);
    const std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    EXPECT_NE(std::find(log.begin(), log.end(), "File in use, replaced when Windows restarts: " + readme), log.end());
    EXPECT_FALSE(noStagedFileLeft());

    ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product", m_dist));
    throughTheWizardToTheBox();
    m_setup.Click(Expect("the files-in-use box"), IDTRYAGAIN);
    box = Expect("the box again, the file still held");
    expectInUseBox(box);
    ASSERT_TRUE(held.End());
    m_setup.Click(box, IDTRYAGAIN);
    EXPECT_EQ(Expect("the progress dialog").caption, "Installation");
    SeenWindow installed = Expect("the success message");
    ExpectBox(installed, completed, "", false, false);
    m_setup.Click(installed, IDOK);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_EQ(ReadFile(readme), newReadme);
    EXPECT_EQ(SharedDllCount(m_systemDll), 6u);
    // The replacement that the run before left for the restart would put its
    // file over the one placed now: it is cancelled.
    EXPECT_TRUE(noStagedFileLeft());
    const std::vector<std::string> lastLog = LogMessages(app + "\\SETUP.LOG");
    EXPECT_TRUE(std::any_of(lastLog.begin(), lastLog.end(), [&readme](const std::string& line) {
        return line.rfind("Replacement at restart cancelled: " + readme + " placed now, ", 0) == 0;
    }));
    m_target.Write("Example\\docs\\mine.txt", "the user's own");

    ASSERT_NO_FATAL_FAILURE(StartRegistered(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString")));
    SeenWindow question = Expect("the question");
    EXPECT_EQ(question.text, "Remove Example Product and all of its components?");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"&Yes", "&No"}));
    m_setup.Click(question, IDYES);
    SeenWindow done = Expect("the end message");
    EXPECT_EQ(done.text, "Example Product was successfully removed from your computer.");
    m_setup.Click(done, IDOK);
    ASSERT_TRUE(m_setup.WaitExit());
    EXPECT_EQ(m_setup.ExitCode(), 0u);

    // The user's file keeps its directories; nothing else is left.
    EXPECT_EQ(ReadFile(app + "\\docs\\mine.txt"), "the user's own");
    EXPECT_FALSE(PathFileExistsA((app + "\\readme.txt").c_str()));
    EXPECT_FALSE(PathFileExistsA((app + "\\uninstall.exe").c_str()));
    EXPECT_FALSE(PathFileExistsA((app + "\\SETUP.LOG").c_str()));
    DeleteFileA((app + "\\docs\\mine.txt").c_str());
    RemoveDirectoryA((app + "\\docs").c_str());
    RemoveDirectoryA(app.c_str());
    ExpectNothingLeft(app);
}

// An upgrade under /S that fails leaves the installed version exactly as it
// was: version 2 (its files changed, a registry value changed, a file of its
// own in a folder of its own) stops at its fifth payload, which is damaged,
// and puts everything back; version 1 then uninstalls completely. Version 2
// whole replaces version 1: one Add/Remove entry, with version 2's version
// and no publisher, which it does not give.
TEST_F(ExampleUninstallE2eTest, AFailedUpgradeLeavesTheInstalledVersionAndAKilledOneIsUndone) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string lines =
        "X;?PRGFDIR?\\Example\r\nF;readme.txt;?APPDIR?\\readme.txt\r\nF;notes.txt;?APPDIR?\\docs\\notes.txt\r\n"
        "F;example.dll;?SYSTEM?\\example.dll\r\n%sF;one.txt;?APPDIR?\\one.txt\r\nF;two.txt;?APPDIR?\\two.txt\r\n"
        "K;SZ;HKEY_CURRENT_USER;Software;Example;InstallDir;?APPDIR?\r\n"
        "K;DWORD;HKEY_CURRENT_USER;Software;Example;Version;%s\r\n"
        "L;?STARTMENU?\\Example\\Read me.lnk;?APPDIR?\\readme.txt;Read me first\r\n";
    // Packs version |v| (its own bytes in every text file) into the folder "v<v>".
    auto pack = [&](const std::string& v, const std::string& added, const char* value,
                    std::vector<std::string> options) {
        char list[1024];
        std::snprintf(list, sizeof list, lines.c_str(), added.c_str(), value);
        m_medium.Write("v" + v + ".lst", list);
        for (const char* name : {"readme.txt", "notes.txt", "one.txt", "two.txt", "added.txt"})
            m_medium.Write("src" + v + "\\" + name, std::string(name) + " of version " + v + "\r\n");
        const std::string dll = m_medium.Path("src" + v + "\\example.dll");
        ASSERT_TRUE(CopyFileA((m_exampleFiles + "\\example.dll").c_str(), dll.c_str(), FALSE));
        std::vector<std::string> args = {"build", m_medium.Path("v" + v + ".lst"), m_medium.Path("src" + v),
                                         m_medium.Path("v" + v)};
        args.insert(args.end(), options.begin(), options.end());
        std::ostringstream out, err;
        ASSERT_EQ(RunMksetup(args, out, err), 0) << err.str();
        const std::string exe = m_medium.Path("v" + v + "\\setup.exe");
        ASSERT_TRUE(CopyFileA((BinDir() + "\\setup.exe").c_str(), exe.c_str(), FALSE));
    };
    ASSERT_NO_FATAL_FAILURE(pack("1", "", "102", {"--product-version", "1.0", "--publisher", "Example Publisher"}));
    ASSERT_NO_FATAL_FAILURE(
        pack("2", "F;added.txt;?APPDIR?\\added\\added.txt\r\n", "103", {"--product-version", "2.0"}));
    const std::string app = m_target.Path("Example"), v2 = m_medium.Path("v2");
    m_dist = m_medium.Path("v1");
    ASSERT_NO_FATAL_FAILURE(InstallUnattended(app));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "1.0");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Example Publisher");

    // Everything of version 1 that version 2 would change.
    const char* const files[] = {"readme.txt", "docs\\notes.txt", "one.txt", "two.txt", "uninstall.exe",
                                 "uninstall.dat", "Backup\\example.dll"};
    const char* const values[] = {"DisplayVersion", "Publisher", "UninstallString", "UninstallRecordSHA256"};
    auto digest = [](const std::string& bytes) {
        Sha256Digest sha;
        return bytes.empty() || !HashBytes(bytes.data(), bytes.size(), sha) ? "(none)" : DigestHex(sha);
    };
    auto snapshot = [&]() {
        std::vector<std::string> state;
        for (const char* file : files) state.push_back(digest(ReadFile(app + "\\" + file)));
        for (const char* value : values) state.push_back(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, value));
        DWORD version = 0, size = sizeof version;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\Example", "Version", RRF_RT_REG_DWORD, nullptr, &version, &size);
        char programs[MAX_PATH];
        SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
        std::string target, description;
        ReadLink(std::string(programs) + "\\Example\\Read me.lnk", target, description);
        for (const std::string& more : {digest(ReadFile(m_systemDll)), std::to_string(SharedDllCount(m_systemDll)),
                                        std::to_string(version), target})
            state.push_back(more);
        return state;
    };
    const std::vector<std::string> before = snapshot();
    EXPECT_EQ(ReadFile(app + "\\one.txt"), "one.txt of version 1\r\n");
    const std::string temp = TemporaryDirectory();
    const std::set<std::string> tempBefore = FolderEntries(temp);

    // Version 1's payload in its place: whole, but not what version 2's setup.sum says.
    const std::string one = v2 + "\\one.txt", packed = ReadFile(one);
    ASSERT_TRUE(CopyFileA(m_medium.Path("v1\\one.txt").c_str(), one.c_str(), FALSE));
    ASSERT_TRUE(m_setup.Start(v2 + "\\setup.exe", "Example*Product /S /D=" + app, v2));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 3u);
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(PathFileExistsA((app + "\\added").c_str()));
    EXPECT_EQ(FolderEntries(temp), tempBefore);  // nothing kept aside is left
    std::vector<std::string> log = LogMessages(app + "\\SETUP.LOG");
    // After the failure's lines, what was undone, last first.
    const auto failed =
        std::find(log.begin(), log.end(), "Damaged distribution: one.txt does not match setup.sum, must abort");
    const auto undone = std::find(failed, log.end(), "Undoing the installation's changes");
    ASSERT_GE(log.end() - undone, 7);
    EXPECT_EQ(std::vector<std::string>(undone, undone + 7),
              (std::vector<std::string>{"Undoing the installation's changes", "Restored: " + app + "\\one.txt",
                                        "Removed: " + app + "\\added\\added.txt",
                                        "Removed directory: " + app + "\\added",
                                        "Shared count of " + m_systemDll + " lowered to " +
                                            std::to_string(m_countBefore + 1),
                                        "Restored: " + app + "\\docs\\notes.txt", "Restored: " + app + "\\readme.txt"}));
    // Then the Add/Remove entry that the run registered at its start, as it was.
    const auto end = std::find(undone, log.end(), "Installation undone");
    const std::string entry = "registry value: HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) + "\\";
    EXPECT_EQ(end - undone, 7 + 11);
    for (auto line = undone + 7; line < end; ++line)
        EXPECT_TRUE(line->rfind("Restored " + entry, 0) == 0 || *line == "Removed " + entry + "UninstallJournal")
            << *line;
    EXPECT_EQ(std::vector<std::string>(end + (end != log.end()), log.end()),
              (std::vector<std::string>{"Destroying decompression box",
                                        "Installation Aborted (DlgDecompress did not return IDOK)",
                                        "Installation Aborted"}));

    // Version 1 is removable as ever.
    ASSERT_NO_FATAL_FAILURE(StartRegistered(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString")));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    ExpectNothingLeft(app);

    // Version 2 through the wizard over version 1, killed as soon as its
    // new folder's file is in place (two files of version 1 still to be
    // replaced): the registered uninstaller removes both.
    ASSERT_NO_FATAL_FAILURE(WriteBytes(one, packed));
    ASSERT_NO_FATAL_FAILURE(InstallUnattended(app));
    ASSERT_TRUE(m_setup.Start(v2 + "\\setup.exe", "Example*Product", v2));
    ThroughTheWizard(app);
    const std::string added = app + "\\added\\added.txt";
    for (int waited = 0; !PathFileExistsA(added.c_str()) && waited < 2000; ++waited) Sleep(10);
    ASSERT_TRUE(m_setup.Kill());
    ASSERT_EQ(ReadFile(added), "added.txt of version 2\r\n");
    ASSERT_EQ(ReadFile(app + "\\two.txt"), "two.txt of version 1\r\n");
    ASSERT_NO_FATAL_FAILURE(StartRegistered(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString")));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    ExpectNothingLeft(app);

    // Version 2 whole over version 1: one entry, version 2's.
    ASSERT_NO_FATAL_FAILURE(InstallUnattended(app));
    m_dist = v2;
    ASSERT_NO_FATAL_FAILURE(InstallUnattended(app));
    EXPECT_EQ(ReadFile(app + "\\one.txt"), "one.txt of version 2\r\n");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "2.0");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "(missing)");
    std::vector<std::string> entries;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY uninstall;
        std::string keys = kUninstallKeys;
        keys.pop_back();
        if (RegOpenKeyExA(root, keys.c_str(), 0, KEY_READ, &uninstall) != ERROR_SUCCESS) continue;
        char name[256];
        for (DWORD i = 0, size = sizeof name; RegEnumKeyExA(uninstall, i, name, &size, nullptr, nullptr, nullptr,
                                                            nullptr) == ERROR_SUCCESS;
             ++i, size = sizeof name)
            if (lstrcmpiA(RegistryString(root, (kUninstallKeys + std::string(name)).c_str(), "InstallLocation").c_str(),
                          app.c_str()) == 0)
                entries.push_back(name);
        RegCloseKey(uninstall);
    }
    EXPECT_EQ(entries, std::vector<std::string>{"Example Product"});
    ASSERT_NO_FATAL_FAILURE(StartRegistered(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString")));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    ExpectNothingLeft(app);
}

// The example as one setup.exe, copied alone into an empty folder and
// started without arguments but /S and /D=: installed as from its folder,
// under the product name it carries; its uninstaller, the bare program,
// removes it.
namespace {

// Where the PE headers of |file| name the certificate table (the security
// data directory).
size_t CertificateEntryOf(const std::string& file) {
    const size_t pe = *reinterpret_cast<const uint32_t*>(file.data() + 0x3C);
    const size_t optional = pe + 24;
    const bool pe32plus = *reinterpret_cast<const uint16_t*>(file.data() + optional) == 0x20B;
    return optional + (pe32plus ? 144 : 128);
}

}  // namespace

TEST_F(ExampleUninstallE2eTest, TheSingleFileMediumInstallsAloneAndItsUninstallerRemovesIt) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string single = SingleFileOfTheExample();
    TempDir download;
    const std::string exe = download.Path("ExampleSetup.exe");
    ASSERT_NO_FATAL_FAILURE(WriteBytes(exe, single));
    const std::string app = m_target.Path("Example");

    // Double-clicked: the pages of the folder medium, under the product name
    // and with the texts it carries; the terms are declined.
    ASSERT_TRUE(m_setup.Start(exe, "", download.Path()));
    SeenWindow welcome = Expect("the welcome page");
    EXPECT_EQ(welcome.caption, "Example Product Setup");
    EXPECT_EQ(welcome.GetControl(IDC_WELCOME_TEXT)->text, ReadFile(SourcePath("examples/Setup2.txt")));
    m_setup.Click(welcome, IDOK);
    SeenWindow terms = Expect("the terms page");
    EXPECT_EQ(terms.GetControl(IDC_TERMS_TEXT)->text, ReadFile(SourcePath("examples/terms.txt")));
    m_setup.Click(terms, IDCANCEL);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 4u);

    ASSERT_TRUE(m_setup.Start(exe, "/S /D=" + app, download.Path()));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_EQ(download.Count(), 1u);  // nothing extracted beside it
    ExpectExampleInstalled(
        app, WithoutUnattendedLines(
                 LogMessages(app + "\\SETUP.LOG"),
                 {kTermsUnattended,
                  "Some system files (dlls) needed to be upgraded to newer versions. The old versions were moved "
                  "to the directory BACKUP, below the application's directory. ",
                  "Installation Successfully Completed. To start the program, just click Start, Programs and "
                  "Example Product."}));
    // The uninstaller is the bare program a signed medium carries, signed on
    // its own; an unsigned one's own image with the uninstaller's mark.
    OverlayFile layout;
    ASSERT_TRUE(ReadOverlayFile(reinterpret_cast<const uint8_t*>(single.data()), single.size(), layout));
    const OverlayItem* bare = FindOverlayItem(layout.items, OverlayKind::kUninstaller);
    const bool image = FindOverlayItem(layout.items, OverlayKind::kUninstallerIsImage) != nullptr;
    ASSERT_NE(bare != nullptr, image);
    EXPECT_EQ(ReadFile(app + "\\uninstall.exe"),
              bare ? single.substr(size_t(layout.layout.imageEnd + bare->offset), size_t(bare->size))
                   : single.substr(0, size_t(layout.layout.imageEnd)) + UninstallerMark());
    // The uninstaller installs nothing, whatever folder it is put beside (a
    // bare setup.exe would make setup.drc of this list): with windows a box
    // says so, and the exit code is 2.
    TempDir planted;
    planted.Write("setup.lst", "X;C:\\Planted\r\nK;SZ;HKEY_CURRENT_USER;Software;Planted;Run;yes\r\n");
    ASSERT_TRUE(CopyFileA((app + "\\uninstall.exe").c_str(), planted.Path("setup.exe").c_str(), FALSE));
    ASSERT_TRUE(m_setup.Start(planted.Path("setup.exe"), "/S", planted.Path()));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 2u);
    ExpectOnlyAnErrorBox(planted.Path("setup.exe"), "", planted.Path(), "the box of a program that installs nothing",
                         "setup.exe removes an installed product and installs nothing.\nTo install the product, run the "
                         "Setup program of its installation files.",
                         2u);
    EXPECT_FALSE(planted.Exists("setup.drc"));

    ASSERT_NO_FATAL_FAILURE(StartRegistered(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString")));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    ExpectNothingLeft(app);

    // Signed: a byte changed in the image, which only the signature covers
    // (a letter of the DOS stub's text), is refused too.
    if (layout.layout.certificateSize == 0) return;
    std::string changed = single;
    const size_t stub = changed.find("This program");
    ASSERT_NE(stub, std::string::npos);
    changed[stub] ^= 0x20;
    // The signature's own bytes replaced by others (its DER header kept),
    // and bytes added to the certificate table beside the signature (the
    // table's size and its entry's length raised to take them in).
    const size_t table = size_t(layout.layout.certificateOffset);
    std::string garbage = single;
    for (size_t at = table + 8 + 4; at < garbage.size(); ++at) garbage[at] = char(at * 151 + 7);
    std::string added = single + std::string(4096, '\0');
    *reinterpret_cast<uint32_t*>(&added[CertificateEntryOf(added) + 4]) += 4096;
    *reinterpret_cast<uint32_t*>(&added[table]) += 4096;
    for (const std::string* bytes : {&changed, &garbage, &added}) {
        ASSERT_NO_FATAL_FAILURE(WriteBytes(exe, *bytes));
        ASSERT_TRUE(m_setup.Start(exe, "/S /D=" + app, download.Path()));
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), 3u);
        EXPECT_FALSE(PathFileExistsA(app.c_str()));
    }
}

// A single file damaged anywhere is refused before any page, with the box
// (or, with /S, silently) and exit code 3; nothing is placed.
TEST_F(ExampleE2eTest, ADamagedSingleFileIsRefusedBeforeAnything) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string good = SingleFileOfTheExample();
    OverlayFile layout;
    std::string problem;
    ASSERT_TRUE(ReadOverlayFile(reinterpret_cast<const uint8_t*>(good.data()), good.size(), layout, &problem))
        << problem;
    ASSERT_TRUE(layout.present);
    const size_t start = size_t(layout.layout.imageEnd);
    auto stored = [&](const char* name) {
        const OverlayItem* item = FindOverlayItem(layout.items, OverlayKind::kFile, name);
        EXPECT_NE(item, nullptr) << name;
        return item ? start + size_t(item->offset + item->size / 2) : 0;
    };
    std::vector<std::pair<std::string, std::string>> damaged;
    for (const char* name : {"example.dll", "setup.drc", "terms.txt"}) {
        std::string changed = good;
        changed[stored(name)] ^= 0x01;
        damaged.emplace_back(std::string("a byte changed in ") + name, changed);
    }
    damaged.emplace_back("cut short", good.substr(0, good.size() - 100));
    damaged.emplace_back("cut within the header", good.substr(0, start + 30));
    std::string pastEnd = good;
    pastEnd[start + 24 + 5] = 0x7F;  // the table's offset, far beyond the end
    damaged.emplace_back("a table past the end", pastEnd);
    std::string misplaced = good;
    const size_t entry = CertificateEntryOf(good);
    *reinterpret_cast<uint32_t*>(&misplaced[entry]) = uint32_t(start + 64);  // a certificate table inside the overlay
    *reinterpret_cast<uint32_t*>(&misplaced[entry + 4]) = 16;
    damaged.emplace_back("a certificate table in the wrong place", misplaced);
    damaged.emplace_back("bytes after the overlay", good + std::string(8, '\0'));

    TempDir download;
    const std::string exe = download.Path("setup.exe"), app = m_target.Path("Example");
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        ASSERT_NO_FATAL_FAILURE(WriteBytes(exe, bytes));
        ASSERT_TRUE(m_setup.Start(exe, "/S /D=" + app, download.Path()));
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), 3u);
        EXPECT_FALSE(PathFileExistsA(app.c_str()));
    }
    EXPECT_EQ(ReadFile(m_systemDll), m_oldDll);

    // With windows: the damaged-distribution box, naming the program, and no page.
    ASSERT_NO_FATAL_FAILURE(WriteBytes(exe, damaged.front().second));
    ExpectOnlyAnErrorBox(exe, "", download.Path(), "the damaged-distribution box",
                         "The installation files are damaged: setup.exe is not as it was packed.\nPlease get a new copy "
                         "of the installation files and run Setup again.",
                         3u);
}

// A folder whose setup.exe carries the digest of its setup.sum installs only
// with that setup.sum: another consistent set of list, sum and payloads, or
// none, is refused with exit code 3 and nothing placed.
TEST_F(ExampleE2eTest, AFolderSealedByItsSetupExeRefusesAnotherSetAndAMissingSum) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    // Packed by mksetup with setup.exe: it carries the digest of setup.sum.
    std::ostringstream text, problems;
    ASSERT_EQ(RunMksetup({"build", SourcePath("examples/setup.lst"), m_exampleFiles, m_dist, "--setup-exe",
                          BinDir() + "\\setup.exe"},
                         text, problems),
              0)
        << problems.str();
    const std::string sum = ReadFile(m_dist + "\\setup.sum"), goodDrc = ReadFile(m_dist + "\\setup.drc");
    // Another consistent set, packed by anyone: the example's list with one
    // value more.
    const std::string other = m_medium.Path("other");
    m_medium.Write("other.lst", ReadFile(SourcePath("examples/setup.lst")) +
                                    "K;SZ;HKEY_CURRENT_USER;Software;Example;Swapped;yes\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(RunMksetup({"build", m_medium.Path("other.lst"), m_exampleFiles, other}, out, err), 0) << err.str();

    const std::string app = m_target.Path("Example");
    auto install = [&](DWORD expectedExit) {
        ASSERT_TRUE(m_setup.Start(m_dist + "\\setup.exe", "Example*Product /S /D=" + app, m_dist));
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), expectedExit);
    };
    for (const char* name : {"setup.drc", "setup.sum"})
        ASSERT_TRUE(CopyFileA((other + "\\" + name).c_str(), (m_dist + "\\" + name).c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(install(3));
    EXPECT_FALSE(PathFileExistsA(app.c_str()));

    ASSERT_TRUE(DeleteFileA((m_dist + "\\setup.sum").c_str()));
    ASSERT_NO_FATAL_FAILURE(install(3));
    EXPECT_FALSE(PathFileExistsA(app.c_str()));
    EXPECT_EQ(ReadFile(m_systemDll), m_oldDll);
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, "Software\\Example", "Swapped"), "(missing)");

    // Its own set again: installed.
    ASSERT_NO_FATAL_FAILURE(WriteBytes(m_dist + "\\setup.sum", sum));
    ASSERT_NO_FATAL_FAILURE(WriteBytes(m_dist + "\\setup.drc", goodDrc));
    ASSERT_NO_FATAL_FAILURE(install(0));
    EXPECT_EQ(ReadFile(app + "\\readme.txt"), ReadFile(m_exampleFiles + "\\readme.txt"));
}

namespace {

// The bytes of data.bin in tests/e2e/lzhuf-medium-1.0.
std::string OldMediumData() {
    std::string data(5000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char((i * i + 3 * i) % 256);
    return data;
}

}  // namespace

// Each codec through mksetup and setup.exe: an empty file, one byte, bytes
// that do not compress, and 16 MB (one byte more than is decoded ahead in
// memory: the run streams it into its file), and LZMA with the files in a
// solid block. A payload (the block) with a byte changed, or cut short, is
// refused with exit code 3 and nothing placed for it.
TEST_F(ExampleE2eTest, EachCodecInstallsWhatItPackedAndRefusesItsDamage) {
    std::mt19937 random(11);
    std::string noise(200 * 1024, '\0');
    for (char& ch : noise) ch = char(random());
    std::string big;
    for (size_t i = 0; big.size() <= (size_t(16) << 20); ++i)
        big += "line " + std::to_string(i % 1009) + ": " + noise.substr(i % 4096, 24 + i % 16) + "\r\n";
    big.resize((size_t(16) << 20) + 1);
    const std::map<std::string, std::string> files = {
        {"noise.bin", noise}, {"big.dat", big}, {"empty.dat", ""}, {"one.dat", "1"}};
    for (const auto& [name, bytes] : files) m_medium.Write("src\\" + name, bytes);
    m_medium.Write("codec.lst", "F;noise.bin;?APPDIR?\\noise.bin\r\nF;big.dat;?APPDIR?\\big.dat\r\n"
                                "F;empty.dat;?APPDIR?\\empty.dat\r\nF;one.dat;?APPDIR?\\one.dat\r\n");
    for (const std::string codec : {"lzhuf", "lzma", "lz4", "solid"}) {
        SCOPED_TRACE(codec);
        const bool solid = codec == "solid";
        const std::string dist = m_medium.Path("dist-" + codec);
        std::ostringstream out, err;
        std::vector<std::string> build = {"build", m_medium.Path("codec.lst"), m_medium.Path("src"), dist,
                                          "--setup-exe", BinDir() + "\\setup.exe", "--codec", solid ? "lzma" : codec};
        if (solid) build.push_back("--solid");
        ASSERT_EQ(RunMksetup(build, out, err), 0) << err.str();
        auto install = [&](const std::string& app) {
            EXPECT_TRUE(m_setup.Start(dist + "\\setup.exe", "Broken /S /D=" + app, dist));
            ExpectEndWithoutWindow();
            return m_setup.ExitCode();
        };
        const std::string app = m_target.Path("Good-" + codec);
        EXPECT_EQ(install(app), 0u);
        for (const auto& [name, bytes] : files) EXPECT_TRUE(ReadFile(app + "\\" + name) == bytes) << name;

        // The solid build's one block holds all four.
        const std::string first = solid ? "setup.s01" : "noise.bin", second = solid ? "setup.s01" : "big.dat";
        const std::string firstPacked = ReadFile(dist + "\\" + first), secondPacked = ReadFile(dist + "\\" + second);
        std::string changed = firstPacked;
        changed[changed.size() / 2] ^= 0x10;
        ASSERT_NO_FATAL_FAILURE(WriteBytes(dist + "\\" + first, changed));
        const std::string damaged = m_target.Path("Damaged-" + codec);
        EXPECT_EQ(install(damaged), 3u);
        EXPECT_FALSE(PathFileExistsA((damaged + "\\noise.bin").c_str()));
        EXPECT_FALSE(PathFileExistsA((damaged + "\\one.dat").c_str()));

        ASSERT_NO_FATAL_FAILURE(WriteBytes(dist + "\\" + first, firstPacked));
        ASSERT_NO_FATAL_FAILURE(WriteBytes(dist + "\\" + second, secondPacked.substr(0, secondPacked.size() - 100)));
        const std::string cut = m_target.Path("Cut-" + codec);
        EXPECT_EQ(install(cut), 3u);
        // The file placed before it goes again with the rest of the run.
        EXPECT_FALSE(PathFileExistsA((cut + "\\noise.bin").c_str()));
        EXPECT_FALSE(PathFileExistsA((cut + "\\big.dat").c_str()));
        const std::vector<std::string> log = LogMessages(cut + "\\SETUP.LOG");
        const std::string refused = solid ? "noise.bin" : "big.dat";
        const std::string damagedLine = "Damaged distribution: " + refused + " does not match setup.sum, must abort";
        EXPECT_NE(std::find(log.begin(), log.end(), damagedLine), log.end()) << damagedLine;
        if (!solid) {
            const std::string removed = "Removed: " + cut + "\\noise.bin";
            EXPECT_NE(std::find(log.begin(), log.end(), removed), log.end());
        }
        EXPECT_EQ(StagedFileIn(cut), "") << "a temporary file is left";
    }
}

// A medium that mksetup packed before there was a choice of codec (LZHUF,
// tests/e2e/lzhuf-medium-1.0) installs as it always did.
TEST_F(ExampleE2eTest, AnLzhufMediumMadeBeforeTheCodecChoiceInstalls) {
    const std::string dist = m_medium.Path("old");
    ASSERT_TRUE(CreateDirectoryA(dist.c_str(), nullptr));
    for (const char* name : {"setup.drc", "setup.sum", "hello.txt", "empty.dat", "data.bin"})
        ASSERT_TRUE(CopyFileA(SourcePath(std::string("tests/e2e/lzhuf-medium-1.0/") + name).c_str(),
                              (dist + "\\" + name).c_str(), FALSE))
            << name;
    ASSERT_TRUE(CopyFileA((BinDir() + "\\setup.exe").c_str(), (dist + "\\setup.exe").c_str(), FALSE));
    const std::string app = m_target.Path("Old");
    ASSERT_TRUE(m_setup.Start(dist + "\\setup.exe", "Broken /S /D=" + app, dist));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_EQ(ReadFile(app + "\\hello.txt"), "Packed before there was a choice of codec.\r\n");
    EXPECT_EQ(ReadFile(app + "\\empty.dat"), "");
    EXPECT_TRUE(ReadFile(app + "\\data.bin") == OldMediumData());
}

TEST_F(ExampleUninstallE2eTest, WhatStaysIsListedAndTheMessageNamesTheLog) {
    ASSERT_NO_FATAL_FAILURE(PackExample());
    const std::string app = m_target.Path("Example"), notes = app + "\\docs\\notes.txt";
    ASSERT_NO_FATAL_FAILURE(InstallUnattended(app));
    // A folder where the installation put a file: it cannot be deleted as one.
    ASSERT_TRUE(DeleteFileA(notes.c_str()));
    m_target.Write("Example\\docs\\notes.txt\\mine.txt", "the user's own");
    // The old system DLL saved in Backup, changed by a user who may write the
    // application directory: it does not go into the system directory.
    const std::string backup = app + "\\Backup\\example.dll", installed = ReadFile(m_systemDll);
    EXPECT_EQ(ReadFile(backup), m_oldDll);
    m_target.Write("Example\\Backup\\example.dll", "the user's bytes");

    ASSERT_NO_FATAL_FAILURE(StartRegistered(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString")));
    m_setup.Click(Expect("the question"), IDYES);
    SeenWindow done = Expect("the end message");
    const std::string start = "Example Product was removed, except for what could not be removed:\n" + m_systemDll +
                              "\n" + backup + "\n" + notes + "\n\n";
    ASSERT_EQ(done.text.rfind(start, 0), 0u) << done.text;
    const std::string logPath = done.text.substr(start.size(), done.text.size() - start.size() - 10);
    EXPECT_EQ(done.text.substr(done.text.size() - 10), " says why.");
    EXPECT_TRUE(std::regex_match(logPath, std::regex(".*\\\\UNINSTALL-[0-9a-f]{8}\\.LOG"))) << logPath;
    EXPECT_EQ(logPath.substr(0, logPath.rfind('\\')), TemporaryDirectory());
    m_setup.Click(done, IDOK);
    ASSERT_TRUE(m_setup.WaitExit());
    EXPECT_EQ(m_setup.ExitCode(), 1u);
    // (Read as text: the system's error message brings a line end of its own.)
    const std::string log = ReadFile(logPath);
    EXPECT_NE(log.find(" Could not remove " + notes + ": "), std::string::npos) << log;
    EXPECT_NE(log.find(" Could not remove " + m_systemDll + ": " + backup +
                       " is not the DLL that was saved there, which is not put back"),
              std::string::npos)
        << log;
    EXPECT_EQ(ReadFile(m_systemDll), installed);
    EXPECT_EQ(ReadFile(backup), "the user's bytes");
    const std::string last = " Uninstallation ended; 3 item(s) could not be removed\r\n";
    ASSERT_GT(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
    EXPECT_EQ(m_target.Read("Example\\docs\\notes.txt\\mine.txt"), "the user's own");
}

namespace {

bool PathThere(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A string value read through the wide calls, in UTF-8; "(missing)" when it is not there.
std::string WideRegistryString(HKEY root, const std::string& key, const std::string& value) {
    wchar_t data[1024] = L"";
    DWORD size = sizeof data;
    if (RegGetValueW(root, Wide(key).c_str(), Wide(value).c_str(), RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return "(missing)";
    return Narrow(data, wcslen(data));
}

std::string ProgramsFolder() {
    wchar_t programs[MAX_PATH] = L"";
    return SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAMS, FALSE) ? Narrow(programs, wcslen(programs))
                                                                             : std::string();
}

}  // namespace

// A product named beyond ASCII, packed from |list| with |options|, installed
// to |app| with /S and then through the windows, and uninstalled: every
// name exact (the file, a registry value holding |app|, the Add/Remove
// entry, the shortcut), no stray folder beside the program group, nothing
// left. Run under the locale its test names (tests/e2e/CMakeLists.txt).
struct NamedProduct {
    std::string list;
    std::vector<std::string> options;
    std::string product, app, top;  // top: the level above |app| that the installation makes
    std::string file, key, value;   // a file of |app|; a key below HKCU and its value holding |app|
    std::string group, link;        // the program group and the shortcut in it
    bool reinstall = false;         // installed twice with /S before the first uninstallation
};

class LocaleE2eTest : public ExampleUninstallE2eTest {
protected:
    void SetUp() override {
        ExampleUninstallE2eTest::SetUp();
        if (!std::getenv("SETUP_E2E_LOCALE")) GTEST_SKIP() << "runs under the locales that tests/e2e/CMakeLists.txt sets";
    }

    void InstallAndUninstall(const NamedProduct& named) {
        m_medium.Write("src\\readme.txt", "Γειά σου");
        m_medium.Write("src\\lib.dll", ReadFile(BinDir() + "\\test_dlls\\ver_5_0_0_0.dll"));
        m_medium.Write("named.lst", named.list);
        const std::string dist = m_dist = m_medium.Path("named");
        std::vector<std::string> build = {"build", m_medium.Path("named.lst"), m_medium.Path("src"), dist};
        build.insert(build.end(), named.options.begin(), named.options.end());
        std::ostringstream out, err;
        ASSERT_EQ(RunMksetup(build, out, err), 0) << err.str();
        ASSERT_TRUE(CopyFileA((BinDir() + "\\setup.exe").c_str(), (dist + "\\setup.exe").c_str(), FALSE));
        const std::string programs = ProgramsFolder(), link = programs + "\\" + named.group + "\\" + named.link;
        const std::string uninstallKey = std::string(kUninstallKeys) + named.product;
        std::string asterisks = named.product;
        std::replace(asterisks.begin(), asterisks.end(), ' ', '*');
        const std::set<std::string> programsBefore = WideEntries(programs);

        auto expectInstalled = [&]() {
            HANDLE opened =
                CreateFileW(Wide(named.file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            char bytes[64] = "";
            DWORD got = 0;
            EXPECT_NE(opened, INVALID_HANDLE_VALUE) << named.file;
            if (opened != INVALID_HANDLE_VALUE) {
                ::ReadFile(opened, bytes, sizeof bytes, &got, nullptr);
                CloseHandle(opened);
            }
            EXPECT_EQ(std::string(bytes, got), "Γειά σου");
            EXPECT_EQ(WideRegistryString(HKEY_CURRENT_USER, named.key, named.value), named.app);
            EXPECT_EQ(WideRegistryString(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName"), named.product);
            EXPECT_EQ(WideRegistryString(HKEY_LOCAL_MACHINE, uninstallKey, "InstallLocation"), named.app);
            EXPECT_TRUE(PathThere(link)) << link;
            EXPECT_EQ(AddedEntries(programs, programsBefore), std::set<std::string>{named.group});
        };
        auto uninstall = [&]() {
            const std::string quiet = WideRegistryString(HKEY_LOCAL_MACHINE, uninstallKey, "QuietUninstallString");
            ASSERT_NO_FATAL_FAILURE(StartRegistered(quiet));
            ExpectEndWithoutWindow();
            EXPECT_EQ(m_setup.ExitCode(), 0u);
            EXPECT_FALSE(PathThere(named.top)) << named.top;
            EXPECT_EQ(WideRegistryString(HKEY_CURRENT_USER, named.key, named.value), "(missing)");
            EXPECT_EQ(WideRegistryString(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName"), "(missing)");
            EXPECT_EQ(AddedEntries(programs, programsBefore), std::set<std::string>{});
        };

        for (int run = 0; run < (named.reinstall ? 2 : 1); ++run) {
            ASSERT_TRUE(m_setup.Start(dist + "\\setup.exe", asterisks + " /S /D=" + named.app, dist));
            ExpectEndWithoutWindow();
            ASSERT_EQ(m_setup.ExitCode(), 0u) << "run " << run;
            expectInstalled();
        }
        ASSERT_NO_FATAL_FAILURE(uninstall());

        // The same typed on the destination page.
        ASSERT_TRUE(m_setup.Start(dist + "\\setup.exe", asterisks, dist));
        ThroughTheWizard(named.app);
        m_setup.Click(Expect("the success message"), IDOK);
        ExpectEndWithoutWindow();
        EXPECT_EQ(m_setup.ExitCode(), 0u);
        expectInstalled();
        uninstall();
    }

    // What |folder| holds beyond |before| (entries that went meanwhile do
    // not count: an earlier scenario's cleanup may still be at work).
    static std::set<std::string> AddedEntries(const std::string& folder, const std::set<std::string>& before) {
        std::set<std::string> added = WideEntries(folder);
        for (const std::string& name : before) added.erase(name);
        return added;
    }

    // The names in |folder|, through the wide calls.
    static std::set<std::string> WideEntries(const std::string& folder) {
        std::set<std::string> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.insert(Narrow(found.cFileName, wcslen(found.cFileName)));
        while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }
};

TEST_F(LocaleE2eTest, GreekJapaneseAndPolishNamesFromAUtf8List) {
    InstallAndUninstall({"X;?PRGFDIR?\\Προϊόν\r\n"
                         "F;readme.txt;?APPDIR?\\Διαβάστε με 読んで.txt\r\n"
                         "K;SZ;HKEY_CURRENT_USER;Software;Προϊόν 製品;Ścieżka;?APPDIR?\r\n"
                         "L;?STARTMENU?\\Προϊόν 製品\\Łódź 読んで.lnk;?APPDIR?\\Διαβάστε με 読んで.txt;Opis\r\n",
                         {},
                         "Προϊόν 製品 Łódź",
                         "C:\\Προϊόν\\製品 Łódź",
                         "C:\\Προϊόν",
                         "C:\\Προϊόν\\製品 Łódź\\Διαβάστε με 読んで.txt",
                         "Software\\Προϊόν 製品",
                         "Ścieżka",
                         "Προϊόν 製品",
                         "Łódź 読んで.lnk"});
}

// ソ and 表 end in 0x5C, a backslash, in Shift-JIS.
TEST_F(LocaleE2eTest, JapaneseNamesFromAShiftJisList) {
    InstallAndUninstall({"X;?PRGFDIR?\\\x83\x5C\x83\x74\x83\x67\r\n"
                         "F;readme.txt;?APPDIR?\\\x95\x5C.txt\r\n"
                         "K;SZ;HKEY_CURRENT_USER;Software;\x83\x5C\x83\x74\x83\x67;\x95\x5C;?APPDIR?\r\n"
                         "L;?STARTMENU?\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.lnk;?APPDIR?\\\x95\x5C.txt;\x95\x5C\r\n",
                         {"--list-codepage", "932"},
                         "ハロー ソフト",
                         "C:\\ソフト\\表",
                         "C:\\ソフト",
                         "C:\\ソフト\\表\\表.txt",
                         "Software\\ソフト",
                         "表",
                         "ソフト",
                         "表.lnk"});
}

// A destination of 200 CJK characters (600 bytes in UTF-8), and a temporary
// directory named in Greek where the DLL's version check and the
// uninstaller's copy go: installed, installed again (the DLL's version
// compared in the temporary directory) and uninstalled, completely.
TEST_F(LocaleE2eTest, ALongCjkDestinationAndAGreekTemporaryDirectory) {
    const std::string temp = m_medium.Path("Ωμέγα");
    ASSERT_TRUE(CreateDirectoryW(Wide(temp).c_str(), nullptr));
    wchar_t tmpBefore[1024] = L"", tempBefore[1024] = L"";
    GetEnvironmentVariableW(L"TMP", tmpBefore, 1024);
    GetEnvironmentVariableW(L"TEMP", tempBefore, 1024);
    SetEnvironmentVariableW(L"TMP", Wide(temp).c_str());
    SetEnvironmentVariableW(L"TEMP", Wide(temp).c_str());
    std::string app = "C:\\";
    for (int i = 0; i < 200; ++i) app += i % 2 ? "製" : "品";
    NamedProduct named{"X;C:\\Example\r\n"
                       "F;readme.txt;?APPDIR?\\読んで.txt\r\n"
                       "F;lib.dll;?APPDIR?\\lib.dll\r\n"
                       "K;SZ;HKEY_CURRENT_USER;Software;Ωμέγα;Path;?APPDIR?\r\n"
                       "L;?STARTMENU?\\Ωμέγα\\読んで.lnk;?APPDIR?\\読んで.txt;Read\r\n",
                       {},
                       "Ωμέγα",
                       app,
                       app,
                       app + "\\読んで.txt",
                       "Software\\Ωμέγα",
                       "Path",
                       "Ωμέγα",
                       "読んで.lnk",
                       true};
    InstallAndUninstall(named);
    // The uninstallers kept their logs there.
    size_t logs = 0;
    for (const std::string& name : WideEntries(temp)) logs += std::regex_match(name, std::regex("UNINSTALL-[0-9a-f]{8}\\.LOG"));
    EXPECT_EQ(logs, 2u);
    SetEnvironmentVariableW(L"TMP", tmpBefore);
    SetEnvironmentVariableW(L"TEMP", tempBefore);
}

// A medium and an installation made by an earlier version, which held their
// names in the system's code page without saying so: the medium installs and
// its installation uninstalls completely, and an installation recorded by
// that version uninstalls too, every name read as that code page has it.
TEST_F(LocaleE2eTest, AnEarlierMediumAndInstallationInTheSystemCodePage) {
    const bool japanese = std::string(std::getenv("SETUP_E2E_LOCALE")) == "ja_JP";
    // "Café" in code page 1252, "製品" in code page 932.
    const std::string product = japanese ? "製品" : "Café", inCodePage = japanese ? "\x90\xBB\x95\x69" : "Caf\xE9";
    const std::string app = "C:\\" + product, appInCodePage = "C:\\" + inCodePage;

    // The medium: a list without the U line, and no setup.sum (which earlier
    // media did not have).
    m_medium.Write("src\\readme.txt", "Γειά σου");
    m_medium.Write("plain.lst", "X;C:\\Example\r\nF;readme.txt;?APPDIR?\\readme.txt\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(RunMksetup({"build", m_medium.Path("plain.lst"), m_medium.Path("src"), m_medium.Path()}, out, err), 0)
        << err.str();
    WriteFileList("X;" + appInCodePage + "\r\nF;readme.txt;?APPDIR?\\" + inCodePage + ".txt\r\n");
    ASSERT_TRUE(DeleteFileA(m_medium.Path("setup.sum").c_str()));
    InstallSetupExe();
    m_dist = m_medium.Path();
    StartSetup(product + " /S");
    ExpectEndWithoutWindow();
    ASSERT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_TRUE(PathThere(app + "\\" + product + ".txt"));
    const std::string quiet = WideRegistryString(HKEY_LOCAL_MACHINE, std::string(kUninstallKeys) + product, "QuietUninstallString");
    ASSERT_NO_FATAL_FAILURE(StartRegistered(quiet));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_FALSE(PathThere(app)) << app;

    // The installation that version recorded.
    ASSERT_TRUE(CreateDirectoryW(Wide(app).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileW(Wide(BinDir() + "\\setup.exe").c_str(), Wide(app + "\\uninstall.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Wide(BinDir() + "\\setup.exe").c_str(), Wide(app + "\\" + product + ".txt").c_str(), FALSE));
    const std::string key = std::string(kUninstallKeys) + product;
    const std::string keyInCodePage = "HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKeys) + inCodePage;
    const std::string record = "SETUP UNINSTALL RECORD 1\nproduct\t" + inCodePage + "\ndir\t" + appInCodePage +
                               "\nnew\t" + appInCodePage + "\\" + inCodePage + ".txt\nkey\t" + keyInCodePage +
                               "\nvalue\t" + keyInCodePage + "\tInstallLocation\t-\nvalue\t" + keyInCodePage +
                               "\tUninstallRecordSHA256\t-\nend\t5\n";
    HANDLE file = CreateFileW(Wide(app + "\\uninstall.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr);
    CloseHandle(file);
    Sha256Digest digest;
    ASSERT_TRUE(HashBytes(record.data(), record.size(), digest));
    HKEY opened;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"InstallLocation", appInCodePage},
                                      {"UninstallRecordSHA256", DigestHex(digest)}}) {
        // Written as the earlier version wrote them: through the ANSI calls.
        RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD(value.size() + 1));
    }
    RegCloseKey(opened);

    ASSERT_TRUE(m_setup.Start(app + "\\uninstall.exe", "/uninstall /S", m_medium.Path()));
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_FALSE(PathThere(app)) << app;
    EXPECT_EQ(WideRegistryString(HKEY_LOCAL_MACHINE, key, "InstallLocation"), "(missing)");
}
