// Unit tests of FlowReader: text-mode line delivery, pieces, true byte positions, range end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "test_support.h"

namespace {

using test_support::TempDir;
using test_support::WriteFile;

struct Read {
  std::string text;
  int64_t start, position;
};

// Every line the reader delivers from [start, end) with limit `maxChars`.
std::vector<Read> ReadAll(const std::string& path, int64_t start, int64_t end,
                          int maxChars = demo::kFlowLineChars) {
  demo::FlowReader reader;
  EXPECT_TRUE(reader.Open(path, start, end));
  std::vector<Read> reads;
  while (reader.ReadLine(maxChars)) {
    EXPECT_EQ(reader.Length(), static_cast<int>(std::string(reader.Line()).size()));
    reads.push_back({std::string(reader.Line(), reader.Length()), reader.LineStart(),
                     reader.Position()});
    if (reads.size() > 100) break;
  }
  return reads;
}

// Each delivered line with its start and the position after it, as "text|start-position;".
std::string Trace(const std::string& bytes) {
  WriteFile("f.txt", bytes);
  std::string trace;
  for (const Read& r : ReadAll("f.txt", 0, 1 << 20))
    trace += r.text + "|" + std::to_string(r.start) + "-" + std::to_string(r.position) + ";";
  return trace;
}

TEST(FlowReader, DeliversEveryLineEndAsLfWithTrueBytePositions) {
  TempDir dir;
  EXPECT_EQ(Trace("HelpOn\r\n~a\r\n$++++\r\n\r\n"), "HelpOn\n|0-8;~a\n|8-12;$++++\n|12-19;\n|19-21;");
  EXPECT_EQ(Trace("HelpOn\n~a\r\n$++++\nlast"), "HelpOn\n|0-7;~a\n|7-11;$++++\n|11-17;last|17-21;");
  // A lone carriage return is a character of the line.
  EXPECT_EQ(Trace("a\rb\r\nc\r\r\nd\r"), "a\rb\n|0-5;c\r\n|5-9;d\r|9-11;");
}

TEST(FlowReader, LongLinesArriveInPiecesAtEachLimit) {
  struct Case {
    int chars;
    const char* end;
    int limit;
    std::vector<int> pieces;  // lengths delivered, LF included
  };
  const std::vector<Case> cases = {
      {600, "\r\n", demo::kNotesLineChars, {495, 106}},
      {600, "\n", demo::kNotesLineChars, {495, 106}},
      {495, "\n", demo::kNotesLineChars, {495, 1}},
      {495, "\r\n", demo::kNotesLineChars, {495, 1}},
      {494, "\r\n", demo::kNotesLineChars, {495}},
      {300, "\r\n", demo::kShortLineChars, {295, 6}},
      {294, "\r\n", demo::kShortLineChars, {295}},
      {9994, "\r\n", demo::kFlowLineChars, {9995}},
      {9995, "\r\n", demo::kFlowLineChars, {9995, 1}},
      {25000, "\r\n", demo::kFlowLineChars, {9995, 9995, 5011}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.chars << " chars, limit " << c.limit);
    TempDir dir;
    std::string line;
    for (int i = 0; i < c.chars; ++i) line += static_cast<char>('a' + i % 26);
    const std::string bytes = line + c.end + "next\r\n";
    WriteFile("f.txt", bytes);
    auto reads = ReadAll("f.txt", 0, 1 << 30, c.limit);
    ASSERT_EQ(reads.size(), c.pieces.size() + 1);
    std::string joined;
    int64_t at = 0;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      EXPECT_EQ(static_cast<int>(reads[i].text.size()), c.pieces[i]) << "piece " << i;
      EXPECT_EQ(reads[i].start, at);
      at = reads[i].position;
      joined += reads[i].text;
    }
    EXPECT_EQ(joined, line + "\n");
    EXPECT_EQ(reads.back().text, "next\n");
    EXPECT_EQ(reads.back().start, static_cast<int64_t>(line.size() + std::string(c.end).size()));
  }
}

TEST(FlowReader, RangeEndActsAsEndOfFile) {
  TempDir dir;
  WriteFile("f.txt", "one\r\ntwo\r\nthree\r\n");
  // The range ends inside "three": its tail is never delivered.
  demo::FlowReader reader;
  ASSERT_TRUE(reader.Open("f.txt", 5, 12));
  ASSERT_TRUE(reader.ReadLine());
  EXPECT_STREQ(reader.Line(), "two\n");
  EXPECT_EQ(reader.LineStart(), 5);
  EXPECT_EQ(reader.Position(), 10);
  EXPECT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.ReadLine());
  EXPECT_STREQ(reader.Line(), "th");
  EXPECT_EQ(reader.Position(), 12);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.ReadLine());
  EXPECT_EQ(reader.Length(), 0);
  EXPECT_EQ(reader.Position(), 12);

  // A range that ends just after a line: that line is the last, and it is at
  // the end (the end-of-text rule leaves it unexamined).
  ASSERT_TRUE(reader.Open("f.txt", 0, 10));
  ASSERT_TRUE(reader.ReadLine());
  EXPECT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.ReadLine());
  EXPECT_STREQ(reader.Line(), "two\n");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.ReadLine());
}

TEST(FlowReader, SeekGoesToAByteOffsetAndMissingFileFails) {
  TempDir dir;
  WriteFile("f.txt", "HelpOn\r\n~a\r\n$++++\r\n");
  demo::FlowReader reader;
  ASSERT_TRUE(reader.Open("f.txt", 0, 1 << 20));
  ASSERT_TRUE(reader.ReadLine());
  ASSERT_TRUE(reader.ReadLine());
  reader.Seek(8);
  ASSERT_TRUE(reader.ReadLine());
  EXPECT_STREQ(reader.Line(), "~a\n");
  EXPECT_EQ(reader.LineStart(), 8);
  EXPECT_TRUE(reader.StartsWith("~a"));
  EXPECT_FALSE(reader.StartsWith("~a\nx"));
  EXPECT_EQ(reader.At(1), 'a');
  EXPECT_EQ(reader.At(3), 0);
  EXPECT_EQ(reader.At(-1), 0);

  demo::FlowReader missing;
  EXPECT_FALSE(missing.Open("absent.txt", 0, 10));
  EXPECT_FALSE(missing.IsOpen());
}

TEST(FlowReader, BinaryBytesPassThrough) {
  TempDir dir;
  std::string bytes("a\0b\x80\xff\r\n", 7);
  WriteFile("f.txt", bytes);
  demo::FlowReader reader;
  ASSERT_TRUE(reader.Open("f.txt", 0, 100));
  ASSERT_TRUE(reader.ReadLine());
  ASSERT_EQ(reader.Length(), 6);
  EXPECT_EQ(std::string(reader.Line(), 6), std::string("a\0b\x80\xff\n", 6));
  EXPECT_EQ(reader.Position(), 7);
}

}  // namespace
