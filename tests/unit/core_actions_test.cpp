// Unit tests of ParseActionLine and the ActionTable: targets, commands, numbers, reports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flow/actions.h"
#include "player.h"
#include "test_support.h"

namespace {

using namespace test_support;

class Actions : public testing::Test {
 protected:
  void SetUp() override {
    player_ = NewPlayer(out_);
    SetFrames({"000000", "a", "b", "c", "d", "000278", "dup", "e", "dup"});
    player_->currentFrame = 3;
    player_->actions.Clear();
  }
  void SetFrames(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      auto& slot = player_->index.frameNames[i];
      slot.fill(0);
      std::memcpy(slot.data(), names[i].data(), std::min<size_t>(names[i].size(), 48));
    }
    player_->index.lastFrame = static_cast<int32_t>(names.size()) - 1;
  }
  int Parse(const std::string& line) { return demo::ParseActionLine(*player_, line.c_str()); }
  const demo::FrameAction& Slot(int i) { return player_->actions.slots[static_cast<size_t>(i)]; }

  CapturedOutput out_;
  std::unique_ptr<demo::Player> player_;
};

// A stored action as "target command arg1,arg2,arg3,arg4".
std::string Text(const demo::FrameAction& a) {
  return std::to_string(a.target) + " " + static_cast<char>(a.command) + " " + std::to_string(a.arg1) + "," +
         std::to_string(a.arg2) + "," + std::to_string(a.arg3) + "," + std::to_string(a.arg4);
}

TEST_F(Actions, StoresTargetCommandAndNumbers) {
  const struct {
    std::string line;
    int current;
    const char* want;
  } cases[] = {
      {"  \"000278\" MouseOver 342,390,398,407\n", 3, "5 M 342,390,398,407"},
      {"  \">\" Timer 31 -- 884,273\n", 4, "5 T 31,0,0,0"},
      {"  IDC_HAND MouseOver 317,265,387,290\n", 3, "-15 M 317,265,387,290"},
      {"  XDC_HAND MouseOver 317,265,387,290\n", 3, "-15 M 317,265,387,290"},
      {"  RXD_PrevFrame ExitRect 317,265,387,290\n", 3, "-21 E 317,265,387,290"},
      {"  \">\" KeyDown 0\n", 3, "4 K 0,0,0,0"},
      {"  IDC_ARROW LeftClick 1,2,3,4\n", 3, "-11 L 1,2,3,4"},
      {"  IDC_IBEAM RightClick 1,2,3,4\n", 3, "-12 R 1,2,3,4"},
      {"  IDC_WAIT Up 1,2,3,4\n", 3, "-13 U 1,2,3,4"},
      {"IDC_CROSS Ux 9\n", 3, "-14 U 9,0,0,0"},
      {"  IDC_NO KeyDown 86\n", 3, "-16 K 86,0,0,0"},
      {"  RXD_EXIT KeyDown 27\n", 3, "-22 K 27,0,0,0"},
      {"  X000278 LeftClick 1,2,3,4\n", 3, "5 L 1,2,3,4"},
      {"  \"> LeftClick 1,2,3,4\n", 6, "7 L 1,2,3,4"},
      {"  \"a\"   Lxyz   10,20\n", 3, "1 L 10,20,0,0"},
      {"  \"a\" LeftClick 1,,3,4\n", 3, "1 L 1,0,3,4"},
      {"  \"a\" LeftClick 1, 2\n", 3, "1 L 1,0,0,0"},
      {"  \"a\" LeftClick 1,2,3,4,5\n", 3, "1 L 1,2,3,4"},
      {"  \"dup\" LeftClick 1,2,3,4\n", 3, "8 L 1,2,3,4"},
      {"  \">\" Timer 10\n", 8, "9 T 10,0,0,0"},
  };
  for (const auto& c : cases) {
    player_->actions.Clear();
    player_->currentFrame = c.current;
    EXPECT_EQ(Parse(c.line), 0) << c.line;
    EXPECT_EQ(Text(Slot(0)), c.want) << c.line;
    EXPECT_EQ(player_->actions.Count(), 1);
    EXPECT_EQ(Slot(1).target, demo::kTargetEnd);
  }
  EXPECT_EQ(out_.Text(), "");
}

TEST_F(Actions, FaultyLinesAreReportedWithTheWholeLineAndSkipped) {
  struct Case {
    std::string line;
    int code;
  };
  const std::vector<Case> cases = {
      {"       \n", 1},
      {"\n", 1},
      {"  X L 1\n", 1},
      {"        \n", 2},
      {"  \"zzz\" LeftClick 1,2,3,4\n", 2},
      {"  \"A\" LeftClick 1,2,3,4\n", 2},
      {"  \"IDC_ARROW\" LeftClick 1,2,3,4\n", 2},  // quoted, the keyword starts too late
      {"  \"000278\" leftclick 1,2,3,4\n", 3},
      {"  \"000278\"\tLeftClick 1,2,3,4\n", 3},
      {"  \"000278\" Quit 1,2,3,4\n", 3},
      {"  IDC_HAND\n", 3},
      {"  \"000278\" Timer\n", 4},
      {"  \"000278\" Timer x5\n", 4},
      {"  \"000278\" Timer  -5\n", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CapturedOutput out;
    player_->out = out.Stream();
    player_->actions.Clear();
    EXPECT_EQ(Parse(c.line), c.code);
    EXPECT_EQ(out.Text(), "BadCommand" + std::to_string(c.code) + ": '" + c.line + "' ");
    EXPECT_TRUE(player_->actions.Empty());
  }
}

TEST_F(Actions, NamedTargetsNeedIndexedFrames) {
  SetFrames({});
  EXPECT_EQ(Parse("  \"a\" LeftClick 1,2,3,4\n"), 2);
  EXPECT_EQ(Parse("  IDC_HAND LeftClick 1,2,3,4\n"), 0);
  player_->currentFrame = 0;
  EXPECT_EQ(Parse("  \">\" LeftClick 1,2,3,4\n"), 0);
  EXPECT_EQ(Slot(0).target, -15);
  EXPECT_EQ(Slot(1).target, 1);
  // A frame with an empty name is found by an empty token.
  SetFrames({"x", ""});
  player_->actions.Clear();
  EXPECT_EQ(Parse("  \"\" LeftClick 1,2,3,4\n"), 0);
  EXPECT_EQ(Slot(0).target, 1);
}

TEST_F(Actions, TableHoldsFortySevenActions) {
  for (int i = 0; i < demo::kMaxActions; ++i)
    ASSERT_EQ(Parse("  \"a\" KeyDown " + std::to_string(i) + "\n"), 0) << i;
  EXPECT_EQ(player_->actions.Count(), 47);
  EXPECT_EQ(Slot(47).target, demo::kTargetEnd);
  const std::string line = "  \"b\" KeyDown 99\n";
  EXPECT_EQ(Parse(line), 5);
  EXPECT_EQ(out_.Text(), "BadCommand5: '" + line + "' ");
  EXPECT_EQ(player_->actions.Count(), 47);
  EXPECT_EQ(Slot(46).arg1, 46);
  EXPECT_EQ(Slot(47).target, demo::kTargetEnd);
  // Emptying the table makes room again from slot 0.
  player_->actions.Clear();
  EXPECT_EQ(Parse(line), 0);
  EXPECT_EQ(Slot(0).target, 2);
  EXPECT_EQ(Slot(1).target, demo::kTargetEnd);
}

TEST_F(Actions, HugeTokensAndDigitRunsAreSafe) {
  const std::string name48(48, 'n');
  SetFrames({"a", name48});
  // A token longer than any name names no frame, also when it starts with one.
  const std::string longLine = "  \"" + std::string(100000, 'n') + "\" LeftClick 1,2,3,4\n";
  EXPECT_EQ(Parse(longLine), 2);
  EXPECT_EQ(Parse("  \"" + std::string(49, 'n') + "\" LeftClick 1,2,3,4\n"), 2);
  EXPECT_EQ(Parse("  \"" + name48 + "\" LeftClick 1,2,3,4\n"), 0);
  EXPECT_EQ(Slot(0).target, 1);

  player_->actions.Clear();
  const std::string digits(50, '9');
  EXPECT_EQ(Parse("  \"a\" LeftClick " + digits + "," + digits + ",3," + std::string(100000, '7') +
                  "\n"),
            0);
  EXPECT_EQ(Text(Slot(0)), "0 L 999999999,999999999,3,999999999");  // digit runs saturate
  EXPECT_EQ(Parse("  \"a\" LeftClick 1,2" + std::string(100000, ' ') + "\n"), 0);
  EXPECT_EQ(Slot(1).arg2, 2);
}

}  // namespace
