#include "tests/e2e/e2e_fixture.h"

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

std::string E2eTest::InstallSetupExe() {
    std::string target = m_medium.Path("setup.exe");
    CopyFileA((BinDir() + "\\setup.exe").c_str(), target.c_str(), FALSE);
    return target;
}

void E2eTest::StartSetup(const std::string& arguments) {
    std::string exe = InstallSetupExe();
    ASSERT_TRUE(m_setup.Start(exe, arguments, m_medium.Path()));
}

SeenWindow E2eTest::Expect(const char* what) {
    std::optional<SeenWindow> w = m_setup.NextWindow();
    if (!w) {
        ADD_FAILURE() << "expected " << what << ", saw nothing";
        return SeenWindow();
    }
    return *w;
}

void E2eTest::ExpectEndWithoutWindow() {
    std::optional<SeenWindow> w = m_setup.NextWindow(4000);
    EXPECT_FALSE(w) << "unexpected window: " << w->Describe();
    EXPECT_TRUE(m_setup.WaitExit());
}
