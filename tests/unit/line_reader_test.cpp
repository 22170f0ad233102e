#include "support/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace {

std::vector<std::string> ReadAllLines(const std::string& content) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("vorn-lines-" + std::to_string(std::random_device()()))).string();
  std::ofstream(path, std::ios::binary) << content;
  std::vector<std::string> lines;
  {
    LineReader reader(path);
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
    EXPECT_FALSE(reader.ReadLine(line));
  }
  std::filesystem::remove(path);
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(LineReader, LineEnds) {
  EXPECT_EQ(ReadAllLines(""), Lines{});
  EXPECT_EQ(ReadAllLines("\n"), Lines{""});
  EXPECT_EQ(ReadAllLines("a\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(ReadAllLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(ReadAllLines("a\r\r\nb\rc\r"), (Lines{"a\r", "b\rc\r"}));
  EXPECT_EQ(ReadAllLines("\n\n"), (Lines{"", ""}));
}

TEST(LineReader, KeepsEveryByteAndLongLines) {
  std::string odd("x\0y\xff", 4);
  std::string longLine(3'000'000, 'z');
  EXPECT_EQ(ReadAllLines(odd + "\n" + longLine + "\r\n" + odd), (Lines{odd, longLine, odd}));
}

TEST(LineReader, MissingFile) {
  LineReader reader("/nonexistent/vorn/file");
  std::string line = "old";
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(reader.ReadLine(line));
}
