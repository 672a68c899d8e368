// Whether the kernel's IPMI driver owns the KCS interface, judged by its device
// nodes; files in a temporary directory stand in for them.
#include "platform/host/hardware_ports.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(KernelIpmiDevice, LooksWhereTheDeviceInterfaceShowsTheBmc) {
  const std::vector<std::string> nodes(std::begin(kKernelIpmiDeviceNodes), std::end(kKernelIpmiDeviceNodes));
  EXPECT_EQ(nodes, (std::vector<std::string>{"/dev/ipmi0", "/dev/ipmi/0", "/dev/ipmidev/0"}));
}

TEST(KernelIpmiDevice, FirstExistingPathIsFound) {
  const std::filesystem::path dir = testing::TempDir() + "tolvane-ipmi-nodes-" + std::to_string(getpid());
  struct Case {
    const char* name;
    std::vector<std::string> files;  // created under dir
    std::vector<std::string> paths;  // looked for, under dir
    int found;                       // index into paths, -1: none
  };
  const Case cases[] = {
      {"nothing there", {}, {"ipmi0", "ipmi/0", "ipmidev/0"}, -1},
      {"the first", {"ipmi0"}, {"ipmi0", "ipmi/0", "ipmidev/0"}, 0},
      {"the last", {"ipmidev/0"}, {"ipmi0", "ipmi/0", "ipmidev/0"}, 2},
      {"two: the earlier", {"ipmi/0", "ipmidev/0"}, {"ipmi0", "ipmi/0", "ipmidev/0"}, 1},
      {"another unit only", {"ipmi1", "ipmi/1"}, {"ipmi0", "ipmi/0"}, -1},
      {"a file where a directory is", {"ipmi"}, {"ipmi/0"}, -1},
      {"no paths", {"ipmi0"}, {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const std::string& file : c.files) {
      const std::filesystem::path path = dir / file;
      std::filesystem::create_directories(path.parent_path());
      std::ofstream(path).put('\n');
    }
    std::vector<std::string> full;
    for (const std::string& path : c.paths) full.push_back((dir / path).string());
    std::vector<const char*> paths;
    for (const std::string& path : full) paths.push_back(path.c_str());

    const char* found = FindKernelIpmiDevice(paths);
    if (c.found < 0) {
      EXPECT_EQ(found, nullptr) << found;
    } else {
      EXPECT_EQ(found, paths[static_cast<size_t>(c.found)]);
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
