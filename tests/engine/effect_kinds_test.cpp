// Every kind of effect of engine/effects, in-process: caused by the step that
// causes it (recorded into a record of the test's own), written as
// uninstall.dat text, read back, and undone, against a temporary directory
// and a registry key of the test's own.
#include "engine/effects.h"

#include "base/install_log.h"
#include "engine/directory.h"
#include "engine/file_placement.h"
#include "engine/install_record.h"
#include "engine/registry_values.h"
#include "engine/uninstall.h"
#include "tests/temp_dir.h"
#include "tests/win/test_registry_key.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

class NoUi : public RunUi {
public:
    bool ShowBox(RunBox, const std::string& text) override {
        ADD_FAILURE() << "a box: " << text;
        return false;
    }
    void ShowStatus(const std::string&, int) override {}
};

class EffectKindsTest : public ::testing::Test {
protected:

    // A case: |cause| does something in |app| and records it; |undone|
    // checks, after the undo, that it is gone or as before.
    struct Case {
        const char* what;
        std::function<void(const std::string& app, InstallRecord& record)> cause;
        std::function<void(const std::string& app)> undone;
    };

    std::string Reg(const std::string& sub) const { return "HKEY_CURRENT_USER\\" + m_key.Name() + "\\" + sub; }
    bool KeyExists(const std::string& sub) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, (m_key.Name() + "\\" + sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    TempDir m_dir;
    TestRegistryKey m_key{"EffectKindsTest"};
    NoUi m_ui;
    FileList m_list;
    InstallLog m_log;
};

TEST_F(EffectKindsTest, TheTableHasEachKindOnceInTheEnumsOrderWithItsOwnName) {
    std::set<std::string> names;
    for (size_t i = 0; i < kEffectKindCount; ++i) {
        const EffectKindInfo& info = kEffectKinds[i];
        EXPECT_EQ(static_cast<size_t>(info.kind), i);
        EXPECT_EQ(&KindInfo(info.kind), &info);
        EXPECT_EQ(KindNamed(info.name), &info);
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_NE(info.undo, nullptr) << info.name;
        EXPECT_NE(info.rollback, nullptr) << info.name;  // a row without it still compiles
    }
    EXPECT_EQ(KindNamed("end"), nullptr);
    EXPECT_EQ(KindNamed("product"), nullptr);
}

TEST_F(EffectKindsTest, EveryKindIsRecordedWrittenReadBackAndUndone) {
    const std::vector<Case> cases = {
        {"a directory made",
         [this](const std::string& app, InstallRecord& record) {
             ASSERT_FALSE(EnsureDirectory(app + "\\made\\deeper\\file.txt", m_log, record).Failed());
         },
         [](const std::string& app) { EXPECT_FALSE(std::filesystem::exists(app + "\\made")); }},
        {"a file placed new",
         [this](const std::string& app, InstallRecord& record) {
             m_dir.Write(app.substr(m_dir.Path().size() + 1) + "\\new.txt", "new");
             record.Add(EffectKind::kFileNew, app + "\\new.txt");
         },
         [](const std::string& app) { EXPECT_FALSE(std::filesystem::exists(app + "\\new.txt")); }},
        {"a file placed over one and a DLL kept",
         [this](const std::string& app, InstallRecord& record) {
             const std::string rel = app.substr(m_dir.Path().size() + 1);
             m_dir.Write(rel + "\\over.txt", "placed over");
             record.Add(EffectKind::kFileOver, app + "\\over.txt");
             m_dir.Write(rel + "\\kept.dll", "kept");
             record.Add(EffectKind::kDllKept, app + "\\kept.dll");
         },
         [this](const std::string& app) {
             EXPECT_FALSE(std::filesystem::exists(app + "\\over.txt"));
             EXPECT_EQ(m_dir.Read(app.substr(m_dir.Path().size() + 1) + "\\kept.dll"), "kept");
         }},
        {"an older DLL moved into Backup",
         [this](const std::string& app, InstallRecord& record) {
             const std::string rel = app.substr(m_dir.Path().size() + 1);
             m_dir.Write(rel + "\\lib.dll", "old");
             BOOL upgraded = FALSE;
             ASSERT_FALSE(BackupOldDll(app + "\\lib.dll", app, &upgraded, m_list, m_log, record).Failed());
             m_dir.Write(rel + "\\lib.dll", "new");
             record.Add(EffectKind::kFileBackup, app + "\\lib.dll", BackupPathOf(app + "\\lib.dll", app));
         },
         [this](const std::string& app) {
             EXPECT_EQ(m_dir.Read(app.substr(m_dir.Path().size() + 1) + "\\lib.dll"), "old");
             EXPECT_FALSE(std::filesystem::exists(app + "\\Backup"));
         }},
        {"a file in use replaced at restart, and a DLL in use",
         [this](const std::string& app, InstallRecord& record) {
             const std::string rel = app.substr(m_dir.Path().size() + 1);
             for (const char* name : {"held.txt", "held.dll"}) {
                 m_dir.Write(rel + "\\" + name, "in use");
                 m_dir.Write(rel + "\\stg-" + name, "staged");
                 record.Add(EffectKind::kFileAtRestart, app + "\\" + name, app + "\\stg-" + name);
             }
         },
         [this](const std::string& app) {
             // The staged files go, which cancels the replacements; the DLL
             // stood there before, for other programs too.
             EXPECT_FALSE(std::filesystem::exists(app + "\\stg-held.txt"));
             EXPECT_FALSE(std::filesystem::exists(app + "\\stg-held.dll"));
             EXPECT_FALSE(std::filesystem::exists(app + "\\held.txt"));
             EXPECT_EQ(m_dir.Read(app.substr(m_dir.Path().size() + 1) + "\\held.dll"), "in use");
         }},
        {"a shared count raised for a DLL placed new",
         [this](const std::string& app, InstallRecord& record) {
             m_dir.Write(app.substr(m_dir.Path().size() + 1) + "\\shared.dll", "dll");
             record.Add(EffectKind::kFileNew, app + "\\shared.dll");
             ASSERT_TRUE(IncrementSharedDllCount((app + "\\shared.dll").c_str(), record));
         },
         [](const std::string& app) {
             EXPECT_EQ(ReadSharedDllCount((app + "\\shared.dll").c_str()), kNoSharedDllCount);
             EXPECT_FALSE(std::filesystem::exists(app + "\\shared.dll"));
         }},
        {"a shortcut",
         [this](const std::string& app, InstallRecord& record) {
             m_dir.Write(app.substr(m_dir.Path().size() + 1) + "\\Group\\Program.lnk", "link");
             record.Add(EffectKind::kShortcut, app + "\\Group\\Program.lnk");
         },
         [](const std::string& app) { EXPECT_FALSE(std::filesystem::exists(app + "\\Group\\Program.lnk")); }},
        {"registry keys made and a value written new",
         [this](const std::string&, InstallRecord& record) {
             ASSERT_TRUE(WriteRegistryString(Reg("New\\Deeper\\Name").c_str(), "value", '\\', record));
         },
         [this](const std::string&) { EXPECT_FALSE(KeyExists("New")); }},
        {"a value written over one",
         [this](const std::string&, InstallRecord& record) {
             m_key.SetString("Old", "Name", "before");
             ASSERT_TRUE(WriteRegistryDword(Reg("Old\\Name").c_str(), 7, '\\', record));
         },
         [this](const std::string&) {
             DWORD type = 0;
             std::string data;
             ASSERT_TRUE(m_key.Get("Old", "Name", type, data));
             EXPECT_EQ(type, DWORD(REG_SZ));
             EXPECT_EQ(data, std::string("before", 7));
         }},
    };

    std::set<EffectKind> covered;
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string app = m_dir.Path("App" + std::to_string(++number));
        ASSERT_TRUE(CreateDirectoryA(app.c_str(), nullptr));
        InstallRecord record;
        record.product = "Effect kinds";
        c.cause(app, record);
        ASSERT_FALSE(record.effects.empty());
        for (const Effect& effect : record.effects) covered.insert(effect.kind);

        InstallRecord back;
        const RunResult read = ParseInstallRecord(FormatInstallRecord(record), back);
        ASSERT_FALSE(read.Failed()) << read.detail;
        EXPECT_EQ(back.effects, record.effects);

        const RunResult undone = UndoInstallation(back, app, m_ui, m_log, std::string());
        EXPECT_EQ(undone.what, RunOutcome::kGoingOn) << undone.detail;
        EXPECT_EQ(StayedItems(undone), std::vector<std::string>());
        c.undone(app);
    }
    for (size_t i = 0; i < kEffectKindCount; ++i)
        EXPECT_TRUE(covered.count(kEffectKinds[i].kind)) << "no case records a \"" << kEffectKinds[i].name << "\"";
}

// What cannot be undone stays, and the undo goes on: its result names the
// first thing that stayed with its error, and every thing that stayed.
TEST_F(EffectKindsTest, WhatStaysIsInTheUndosResult) {
    const std::string app = m_dir.Path("App");
    m_dir.Write("App\\first.txt", "1");
    m_dir.Write("App\\gone.txt", "2");
    m_dir.Write("App\\last.txt", "3");
    InstallRecord record;
    for (const char* name : {"first.txt", "gone.txt", "last.txt"}) record.Add(EffectKind::kFileNew, app + "\\" + name);
    // Held open without delete sharing: neither can be deleted.
    std::vector<HANDLE> held;
    for (const char* name : {"first.txt", "last.txt"})
        held.push_back(CreateFileA((app + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    for (HANDLE file : held) ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const RunResult undone = UndoInstallation(record, app, m_ui, m_log, std::string());
    for (HANDLE file : held) CloseHandle(file);

    EXPECT_EQ(undone.what, RunOutcome::kStayed);
    EXPECT_EQ(undone.path, app + "\\last.txt");  // the last effect is undone first
    EXPECT_EQ(undone.error, uint32_t(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(StayedItems(undone), (std::vector<std::string>{app + "\\last.txt", app + "\\first.txt"}));
    EXPECT_FALSE(m_dir.Exists("App\\gone.txt"));
}

}  // namespace

// A failed run's own undo: what it replaced comes back from where it kept it
// aside (the latest first, for a file it placed twice), what it placed new
// goes, counted or not, without a question, a DLL it moved into Backup goes
// back, and its log stays with the directory that holds it.
TEST_F(EffectKindsTest, AFailedRunPutsBackWhatItKeptAside) {
    const std::string app = m_dir.Path("App"), aside = m_dir.Path("Aside"), over = app + "\\over.txt";
    const std::string dll = app + "\\made\\shared.dll", lib = app + "\\lib.dll";
    m_dir.Write("App\\SETUP.LOG", "the run's log");
    InstallRecord run;
    ASSERT_FALSE(EnsureDirectory(app + "\\made\\", m_log, run).Failed());
    m_dir.Write("Aside\\1-over.txt", "old");
    m_dir.Write("Aside\\2-over.txt", "placed first");
    m_dir.Write("App\\over.txt", "placed again");
    run.Add(EffectKind::kFileOver, over);
    run.Add(EffectKind::kFileOver, over);
    const std::vector<SetAsideFile> kept = {{over, aside + "\\1-over.txt"}, {over, aside + "\\2-over.txt"}};
    ASSERT_TRUE(IncrementSharedDllCount(dll.c_str(), run));
    m_dir.Write("App\\made\\shared.dll", "dll");
    run.Add(EffectKind::kFileNew, dll);
    m_dir.Write("App\\lib.dll", "old");
    BOOL upgraded = FALSE;
    ASSERT_FALSE(BackupOldDll(lib, app, &upgraded, m_list, m_log, run).Failed());
    m_dir.Write("App\\lib.dll", "new");
    run.Add(EffectKind::kFileBackup, lib, BackupPathOf(lib, app));
    // A file replaced without being kept aside cannot come back: it is said to stay.
    m_dir.Write("App\\lost.txt", "new");
    run.Add(EffectKind::kFileOver, app + "\\lost.txt");

    const RunResult undone = UndoFailedRun(run, kept, m_log);
    EXPECT_EQ(StayedItems(undone), std::vector<std::string>{app + "\\lost.txt"});
    EXPECT_EQ(m_dir.Read("App\\over.txt"), "old");
    EXPECT_EQ(m_dir.Count("Aside"), 0u);
    EXPECT_FALSE(std::filesystem::exists(app + "\\made"));
    EXPECT_EQ(ReadSharedDllCount(dll.c_str()), kNoSharedDllCount);
    EXPECT_EQ(m_dir.Read("App\\lib.dll"), "old");
    EXPECT_FALSE(std::filesystem::exists(app + "\\Backup"));
    EXPECT_EQ(m_dir.Read("App\\SETUP.LOG"), "the run's log");
}
