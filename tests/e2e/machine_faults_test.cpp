// Faults of the machine the program must live through.
#include "AppFixture.h"

namespace e2e {
namespace {

using MachineFaultTest = AppFixture;

TEST_F(MachineFaultTest, LogFileThatCannotBeMadeStillLeavesTheCommandLog) {
    // A folder where the log file should be: the file cannot be created.
    ASSERT_TRUE(CreateDirectoryA(LogFile().c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_NO_FATAL_FAILURE(Launch());
    EXPECT_EQ(std::vector<std::string>{"Nodelark 起動しました"}, LogLines());
    app.Command(kCmdSwitchTab);
    app.Command(kCmdSwitchTab);
    EXPECT_TRUE(app.Responds());
    EXPECT_EQ(0, app.Close());
    EXPECT_TRUE(GetFileAttributesA(LogFile().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA(LogFile().c_str());
}

}  // namespace
}  // namespace e2e
