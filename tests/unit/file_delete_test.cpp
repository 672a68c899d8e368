// FileDelete of the host binding: true exactly when no file of that name is
// left, which is what a caller relies on before it trusts a file written later.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.hpp"

namespace {

class FileDeleteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(nullptr, mkdtemp(directory_.data())); }
  void TearDown() override { std::system(("rm -rf " + directory_).c_str()); }

  std::string Path(const std::string& name) const { return directory_ + "/" + name; }
  static bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
  }
  static void WriteFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fputs("[ Type 1 ]:1;\n", file);
    std::fclose(file);
  }

  std::string directory_ = testing::TempDir() + "tolvane_delete_XXXXXX";
};

TEST_F(FileDeleteTest, AFileIsGoneAfterwards) {
  WriteFile(Path("SmbiosTemplate.cfg"));
  EXPECT_TRUE(FileDelete(Path("SmbiosTemplate.cfg").c_str()));
  EXPECT_FALSE(Exists(Path("SmbiosTemplate.cfg")));
  EXPECT_TRUE(Exists(Path("")));  // only the file, not its directory
}

TEST_F(FileDeleteTest, NoFileOfThatNameCountsAsDeleted) {
  EXPECT_TRUE(FileDelete(Path("SmbiosTemplate.cfg").c_str()));
  WriteFile(Path("plain"));
  EXPECT_TRUE(FileDelete(Path("plain/SmbiosTemplate.cfg").c_str()));  // a file is no directory
  EXPECT_TRUE(Exists(Path("plain")));
}

TEST_F(FileDeleteTest, WhatCannotBeDeletedIsReportedAndStays) {
  ASSERT_EQ(0, mkdir(Path("SmbiosTemplate.cfg").c_str(), 0755));
  WriteFile(Path("SmbiosTemplate.cfg/inside"));
  EXPECT_FALSE(FileDelete(Path("SmbiosTemplate.cfg").c_str()));
  EXPECT_TRUE(Exists(Path("SmbiosTemplate.cfg/inside")));
}

}  // namespace
