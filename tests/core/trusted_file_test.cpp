#include "trusted_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace qor {
namespace {

constexpr uid_t kNobody = 65534;

class TrustedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to hand files to other owners";
        char tmpl[] = "/tmp/trustedXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
    }
    std::string file(const char* name, const std::string& body, mode_t mode, uid_t owner = 0) {
        std::string p = dir_ + "/" + name;
        std::ofstream(p) << body;
        EXPECT_EQ(chmod(p.c_str(), mode), 0);
        EXPECT_EQ(chown(p.c_str(), owner, 0), 0);
        return p;
    }
    std::string dir_;
};

TEST_F(TrustedFileTest, OnlyFilesNobodyButRootCouldWriteAreRead) {
    std::string open = dir_ + "/open";
    ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    std::string sticky = dir_ + "/sticky";
    ASSERT_EQ(mkdir(sticky.c_str(), 0777), 0);
    ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
    std::string ok = file("ok", "PORT /dev/ttyUSB0\n", 0600);
    ASSERT_EQ(symlink(ok.c_str(), (dir_ + "/link").c_str()), 0);
    struct Case {
        std::string path;
        TrustedRead want;
        const char* why;
    } cases[] = {
        {ok, TrustedRead::Loaded, ""},
        {file("readable", "x", 0644), TrustedRead::Loaded, ""},
        {dir_ + "/missing", TrustedRead::Absent, ""},
        {file("groupw", "x", 0620), TrustedRead::Refused, "others than root"},
        {file("worldw", "x", 0602), TrustedRead::Refused, "others than root"},
        {file("nobody", "x", 0600, kNobody), TrustedRead::Refused, "owner 65534"},
        {dir_ + "/link", TrustedRead::Refused, "link"},
        {dir_, TrustedRead::Refused, "regular"},
        {file("long", std::string(65, 'x'), 0600), TrustedRead::Refused, "longer than 64"},
        {file("open/f", "x", 0600), TrustedRead::Refused, "folder"},
        {file("sticky/f", "x", 0600), TrustedRead::Loaded, ""},
    };
    for (const Case& c : cases) {
        std::string text;
        char why[200] = {};
        unsigned mode = 0;
        EXPECT_EQ(readTrustedFile(c.path.c_str(), 64, text, why, sizeof why, &mode), c.want) << c.path;
        EXPECT_NE(std::string(why).find(c.why), std::string::npos) << c.path << ": " << why;
        if (c.want != TrustedRead::Loaded) {
            EXPECT_TRUE(text.empty()) << c.path;
        }
    }
    std::string text;
    char why[200] = {};
    unsigned mode = 0;
    ASSERT_EQ(readTrustedFile(ok.c_str(), 64, text, why, sizeof why, &mode), TrustedRead::Loaded);
    EXPECT_EQ(text, "PORT /dev/ttyUSB0\n");
    EXPECT_EQ(mode, 0600u);
}

TEST_F(TrustedFileTest, ProgramsAreRunByTheirResolvedPathOnlyWhenRootAloneCouldChangeThem) {
    std::string open = dir_ + "/open";
    ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    std::string prog = file("prog", "#!/bin/sh\n", 0755);
    ASSERT_EQ(symlink(prog.c_str(), (dir_ + "/alias").c_str()), 0);
    ASSERT_EQ(symlink(prog.c_str(), (open + "/alias").c_str()), 0);
    struct Case {
        std::string path;
        bool want;
        const char* why;
    } cases[] = {
        {prog, true, ""},
        {dir_ + "/alias", true, ""},
        {open + "/alias", false, "folder"},
        {"prog", false, "absolute"},
        {dir_ + "/none", false, "No such file"},
        {file("plain", "x", 0644), false, "executable"},
        {file("worldw", "x", 0757), false, "others than root"},
        {file("nobody", "x", 0755, kNobody), false, "owner 65534"},
        {file("open/p", "x", 0755), false, "folder"},
    };
    for (const Case& c : cases) {
        char resolved[256] = {};
        char why[200] = {};
        EXPECT_EQ(checkTrustedProgram(c.path.c_str(), resolved, sizeof resolved, why, sizeof why), c.want) << c.path;
        EXPECT_NE(std::string(why).find(c.why), std::string::npos) << c.path << ": " << why;
        if (c.want) {
            EXPECT_EQ(std::string(resolved), prog);
        }
    }
}

}  // namespace
}  // namespace qor
