// The player writes nothing: the folder it plays in is left as it was. (Playing from a read-only
// folder is checked with the real players, in tests/e2e.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

namespace fs = std::filesystem;

struct Kept {
  std::string bytes;
  fs::file_time_type written;
};

std::map<std::string, Kept> Snapshot(const std::string& folder) {
  std::map<std::string, Kept> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = {test_support::ReadFile(entry.path().string()),
                                               fs::last_write_time(entry.path())};
  return files;
}

// The bundled sample (compact: its rows pass through the block cache), whose
// header asks for a window icon, walked through frame by frame from its
// splash window to Esc.
TEST(NothingLost, PlayingTheSampleLeavesItsFolderAsItWas) {
  test_support::TempDir root;
  const std::string work = root.File("work"), temp = root.File("tmp");
  fs::create_directory(work);
  fs::create_directory(temp);
  for (const char* name : {"demoFlow.txt", "demoStack.rxz"})
    fs::copy_file(std::string(SAMPLE_DIR) + "/" + name, work + "/" + name);
  ASSERT_NE(test_support::ReadFile(work + "/demoFlow.txt").find("\nWindowIconSm 0"), std::string::npos)
      << "the sample no longer makes an icon";
  test_support::Age(work + "/demoFlow.txt");
  test_support::Age(work + "/demoStack.rxz");
  std::string script = test_support::ReadFile(std::string(SAMPLE_SOURCE_DIR) + "/walkthrough.txt");
  script += "\nkey 36\nkey 39\nkey 112\nkey 115\nkey 37\nkey 27\n";
  test_support::WriteFile(root.File("script.txt"), script);
  const auto before = Snapshot(work);

  // The harness's own scratch file goes where TMPDIR says, and must go again.
  const char* oldTemp = std::getenv("TMPDIR");
  const std::string keptTemp = oldTemp ? oldTemp : "";
  setenv("TMPDIR", temp.c_str(), 1);
  const auto run = tool_test::RunTool(
      {"run", "--script", root.File("script.txt"), "--shots", root.File("shots")}, work);
  if (oldTemp)
    setenv("TMPDIR", keptTemp.c_str(), 1);
  else
    unsetenv("TMPDIR");

  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Frame 7: home\n"), std::string::npos) << run.out;
  const auto after = Snapshot(work);
  ASSERT_EQ(after.size(), before.size()) << "files were added or removed";
  for (const auto& [name, kept] : before) {
    ASSERT_TRUE(after.count(name)) << name << " is gone";
    EXPECT_TRUE(after.at(name).bytes == kept.bytes) << name << " was changed";
    EXPECT_TRUE(after.at(name).written == kept.written) << name << " was written";
  }
  EXPECT_TRUE(fs::is_empty(temp)) << "the harness left its scratch file";
}

}  // namespace
