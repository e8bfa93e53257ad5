// demotool web: a site or one page made of a web player's files and the compact content the bundle carries.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool_test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::CrLf;
using test_support::ReadFile;
using test_support::TempDir;
using test_support::TileLine;
using test_support::WriteFile;
using tool_test::FilesIn;
using tool_test::JsonValue;
using tool_test::RunTool;

const std::string kIndex =
    "<!doctype html>\n<html><head><link rel=\"stylesheet\" href=\"page.css\"></head>\n<body><canvas></canvas>\n"
    "<script src=\"demoplayer.js\"></script>\n<script src=\"page.js\"></script>\n</body></html>\n";
const std::string kWasm("\0asm\1\0\0\0", 8);

std::string Decode64(const std::string& text) {
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t bits = 0;
  int have = 0;
  for (char c : text) {
    if (c == '=') break;
    bits = bits << 6 | static_cast<uint32_t>(digits.find(c));
    if ((have += 6) >= 8) out += static_cast<char>((bits >> (have -= 8)) & 0xFF);
  }
  return out;
}

class DemotoolWeb : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.File("demo"));
    WriteFile(dir_.File("demo/demoFlow.txt"), CrLf({"WindowText \"Web\"", "~one", TileLine({0, 1, 2, 3}),
                                                    "  \"two\" LeftClick 0,0,2,2", "~two", TileLine({3, 2, 1, 0}), ""}));
    WriteFile(dir_.File("demo/demoStack.rxs"), test_support::StackFileBytes(5, 4));
    WriteFile(dir_.File("player.exe"), "MZ no marker here");
    fs::create_directories(dir_.File("web/fonts"));
    WriteFile(dir_.File("web/index.html"), kIndex);
    WriteFile(dir_.File("web/page.css"), "@font-face{font-family:D;src:url(fonts/x.woff2)}body{margin:0}");
    WriteFile(dir_.File("web/page.js"), "document.title=\"</script> ok\";");
    WriteFile(dir_.File("web/demoplayer.js"), "var Module={};");
    WriteFile(dir_.File("web/demoplayer.wasm"), kWasm);
    WriteFile(dir_.File("web/fonts/x.woff2"), "wOF2");
  }
  tool_test::RunResult Web(std::vector<std::string> args) {
    args.insert(args.begin(), "web");
    return RunTool(args, dir_.Path());
  }
  // What a compact bundle of the demo holds behind the player program.
  std::string BundledContent() {
    EXPECT_EQ(RunTool({"bundle", "demo", "--player", "player.exe", "-o", "demo.run"}, dir_.Path()).status, 0);
    return ReadFile(dir_.File("demo.run")).substr(ReadFile(dir_.File("player.exe")).size());
  }

  TempDir dir_;
};

TEST_F(DemotoolWeb, ASiteHoldsThePlayerFilesAndTheBundlesContentWhichThePlayerFindsAtOnce) {
  tool_test::RunResult run = Web({"demo", "-o", "site/a", "--player", "web"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("web site in site/a: 7 files"), std::string::npos) << run.out;
  EXPECT_EQ(FilesIn(dir_.File("site/a")), (std::vector<std::string>{"demo.dat", "demoplayer.js", "demoplayer.wasm",
                                                                    "fonts", "index.html", "page.css", "page.js"}));
  for (const char* name : {"index.html", "page.css", "page.js", "demoplayer.js", "demoplayer.wasm", "fonts/x.woff2"})
    EXPECT_EQ(ReadFile(dir_.File("site/a/") + name), ReadFile(dir_.File("web/") + name)) << name;
  const std::string content = ReadFile(dir_.File("site/a/demo.dat"));
  EXPECT_EQ(content, BundledContent());

  // The content alone is a demo: the marker scan finds it at offset 0.
  const std::string info = tool_test::RunTool({"info", dir_.File("site/a/demo.dat"), "--json"}).out;
  EXPECT_EQ(JsonValue(info, "form"), "\"compact\"");
  EXPECT_EQ(JsonValue(info, "WindowText"), "\"Web\"");
  EXPECT_EQ(JsonValue(info, "lastFrame"), "1");

  // An earlier export is exported over, even from its own content.
  WriteFile(dir_.File("web/page.js"), "// new");
  run = Web({"site/a/demo.dat", "-o", "site/a", "--player", "web"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("site/a/demo.dat")), content);
  EXPECT_EQ(ReadFile(dir_.File("site/a/page.js")), "// new");
  EXPECT_EQ(FilesIn(dir_.File("site/a")).size(), 7u);
}

TEST_F(DemotoolWeb, OneFileInlinesStyleFontsScriptsWasmAndContent) {
  tool_test::RunResult run = Web({"demo", "-o", "demo.html", "--single-file", "--player", "web"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string html = ReadFile(dir_.File("demo.html"));
  std::smatch content;
  ASSERT_TRUE(std::regex_search(html, content, std::regex("content:\"([A-Za-z0-9+/=]*)\""))) << html;
  EXPECT_EQ(Decode64(content[1]), BundledContent());
  EXPECT_EQ(html,
            "<!doctype html>\n<html><head><style>@font-face{font-family:D;src:url(data:font/woff2;base64,d09GMg==)}"
            "body{margin:0}</style></head>\n<body><canvas></canvas>\n"
            "<script>window.demoInline={wasm:\"AGFzbQEAAAA=\",content:\"" +
                content[1].str() +
                "\"};</script><script>var Module={};</script>\n"
                "<script>document.title=\"<\\/script> ok\";</script>\n</body></html>\n");
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"demo", "demo.html", "demo.run", "player.exe", "web"}));
}

TEST_F(DemotoolWeb, RefusesClearlyAndLeavesEveryFolderAsItWas) {
  fs::create_directories(dir_.File("mine"));
  WriteFile(dir_.File("mine/notes.txt"), "keep");
  fs::create_directories(dir_.File("noplayer"));
  WriteFile(dir_.File("noplayer/index.html"), kIndex);
  fs::create_directories(dir_.File("oddpage"));
  for (const char* name : {"demoplayer.js", "demoplayer.wasm", "page.css"})
    fs::copy_file(dir_.File("web/") + name, dir_.File("oddpage/") + name);
  WriteFile(dir_.File("oddpage/index.html"), std::regex_replace(kIndex, std::regex("<link[^>]*>"), ""));
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"demo", "-o", "site", "--player", "noplayer"}, "no web player in '" + dir_.File("noplayer") +
                                                           "' (no demoplayer.js, demoplayer.wasm): run scripts/build-web.sh"},
      {{"demo", "-o", "mine", "--player", "web"}, "holds files but no earlier web export"},
      {{"demo", "-o", "web/site", "--player", "web"}, "would lie in the web player's own folder"},
      {{"demo", "-o", "mine/notes.txt", "--player", "web"}, "is a file"},
      {{"demo", "-o", "x.html", "--single-file", "--player", "oddpage"}, "lacks the tag <link rel=\"stylesheet\""},
      {{"demo", "-o", "web/index.html", "--single-file", "--player", "web"}, "would overwrite"},
      {{"player.exe", "-o", "site", "--player", "web"}, "player.exe"},
  };
  for (const Case& c : cases) {
    tool_test::RunResult run = Web(c.args);
    EXPECT_EQ(run.status, 1) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"demo", "mine", "noplayer", "oddpage", "player.exe", "web"}));
  EXPECT_EQ(FilesIn(dir_.File("mine")), std::vector<std::string>{"notes.txt"});
  EXPECT_EQ(FilesIn(dir_.File("web")),
            (std::vector<std::string>{"demoplayer.js", "demoplayer.wasm", "fonts", "index.html", "page.css", "page.js"}));
  EXPECT_EQ(ReadFile(dir_.File("web/index.html")), kIndex);
}

}  // namespace
