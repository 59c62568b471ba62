// Saves the screen when a test fails, so a failed run shows what the program
// looked like at that moment.
#include "AppDriver.h"

#include <gtest/gtest.h>

namespace {

class ShotOnFailure : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& info) override {
        if (!info.result()->Failed()) return;
        std::string folder = e2e::ShotFolder();
        if (folder.empty()) return;
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string name = std::string(info.test_suite_name()) + "." + info.name();
        for (char& c : name)
            if (c == '/' || c == '\\' || c == ':') c = '_';
        std::string path = folder + "\\" + name + ".bmp";
        if (e2e::SaveScreenshot(path)) printf("screenshot: %s\n", path.c_str());
    }
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new ShotOnFailure);
    return true;
}();

}  // namespace
