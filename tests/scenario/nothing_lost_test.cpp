// The player writes nothing but its short-lived icon file: the folder it plays in is left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The bundled sample, whose header asks for a window icon, walked through
// frame by frame from its splash window to Esc.
TEST(NothingLost, PlayingTheSampleLeavesItsFolderAsItWas) {
  test_support::TempDir root;
  const std::string work = root.File("work"), temp = root.File("tmp");
  fs::create_directory(work);
  fs::create_directory(temp);
  for (const char* name : {"demoFlow.txt", "demoStack.rxs"})
    fs::copy_file(std::string(SAMPLE_DIR) + "/" + name, work + "/" + name);
  ASSERT_NE(test_support::ReadFile(work + "/demoFlow.txt").find("\nWindowIconSm 0"), std::string::npos)
      << "the sample no longer makes an icon file";
  test_support::Age(work + "/demoFlow.txt");
  test_support::Age(work + "/demoStack.rxs");
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

// A folder that already has something under the icon file's name: a link to
// another file, a second name of one, or a pipe, also when the icon square lies
// outside the frame and no icon is made. The player writes its icon as a file
// of its own, never waits on the pipe, and leaves the other file as it was.
TEST(NothingLost, WhatStandsUnderTheIconNameIsNotWrittenThrough) {
  for (const std::string kind : {"link", "hard link", "pipe", "pipe, no icon made"}) {
    SCOPED_TRACE(kind);
    test_support::TempDir root;
    const std::string work = root.File("work"), outside = root.File("outside.txt");
    fs::create_directory(work);
    for (const char* name : {"demoFlow.txt", "demoStack.rxs"})
      fs::copy_file(std::string(SAMPLE_DIR) + "/" + name, work + "/" + name);
    test_support::WriteFile(outside, "the presenter's own file\n");
    const std::string icon = work + "/tmpdemoicon.ico";
    if (kind == "link") fs::create_symlink(outside, icon);
    if (kind == "hard link") fs::create_hard_link(outside, icon);
    if (kind.rfind("pipe", 0) == 0) {
      ASSERT_EQ(mkfifo(icon.c_str(), 0600), 0);
    }
    if (kind == "pipe, no icon made") {
      std::string flow = test_support::ReadFile(work + "/demoFlow.txt");
      const size_t at = flow.find("\nWindowIconSm 006,");
      ASSERT_NE(at, std::string::npos);
      flow.replace(at, 18, "\nWindowIconSm 999,");
      test_support::WriteFile(work + "/demoFlow.txt", flow);
    }
    test_support::WriteFile(root.File("script.txt"), "key 27\n");

    const auto run = tool_test::RunTool({"run", "--script", root.File("script.txt"), "--", "home"}, work);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(test_support::ReadFile(outside) == "the presenter's own file\n") << "the icon went into " << outside;
    EXPECT_FALSE(fs::exists(fs::symlink_status(icon))) << "the icon file was left";
  }
}

}  // namespace
