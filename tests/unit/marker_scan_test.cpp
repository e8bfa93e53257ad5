// The built programs must never hold the content marker, or they would read themselves as content.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "content/package.h"
#include "tool_test_support.h"

namespace {

TEST(ContentMarker, IsNowhereInTheBuiltPrograms) {
  const std::string marker = demo::ContentMarker();
  ASSERT_EQ(marker.size(), 94u);
  EXPECT_EQ(marker.front(), '!');
  EXPECT_EQ(marker.back(), '~');
  const char* programs[] = {
      DEMOTOOL_PATH,
#ifdef DEMOPLAYER_PATH
      DEMOPLAYER_PATH,
#endif
  };
  for (const char* path : programs) {
    const std::string bytes = tool_test::Slurp(path);
    ASSERT_GT(bytes.size(), 10000u) << path;
    EXPECT_EQ(bytes.find(marker), std::string::npos) << path << " holds the content marker";
  }
}

}  // namespace
