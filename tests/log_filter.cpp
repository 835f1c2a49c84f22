// Every test program hands the program's log the filter that setup.exe hands
// it at start-up: a line that names a shared file of the file list is dropped.
#include "formats/file_list.h"
#include "base/install_log.h"

#include <gtest/gtest.h>

namespace {

class SharedFileLogFilter : public ::testing::Environment {
public:
    void SetUp() override {
        theLog.SetFilter([](const char* line) { return IsSharedFile(line); });
    }
};

::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new SharedFileLogFilter);

}  // namespace
