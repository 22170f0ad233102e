// What the tests of both platform layers share: a scratch directory, files
// written into it and read back, and searches in it. Each platform's test
// makes and removes the directory in its own way.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/platform.h"

class PlatformFixture : public ::testing::Test {
 public:
  using Names = std::vector<std::string>;

 protected:
  static constexpr uint32_t AttrSpecial = AttrHidden | AttrSystem | AttrDirectory;

  std::string At(const std::string& name) const { return Dir + name; }

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(At(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ostringstream content;
    content << std::ifstream(At(name), std::ios::binary).rdbuf();
    return content.str();
  }
  // The names a search of mask delivers, in order.
  Names List(const std::string& mask, uint32_t requested) const {
    Names names;
    FindRecord record;
    for (int status = SearchStart(Dir + mask, requested, record); status == 0;
         status = SearchNext(record)) {
      names.push_back(record.Name);
    }
    SearchClose(record);
    return names;
  }
  // The first entry a search of name delivers.
  FindRecord Find(const std::string& name, uint32_t requested = AttrSpecial) const {
    FindRecord record;
    EXPECT_EQ(SearchStart(Dir + name, requested, record), 0) << name;
    SearchClose(record);
    return record;
  }

  // A search finds nothing for a mask that matches nothing and in a
  // directory that is not there; a search that found nothing may be asked
  // again and closed more than once.
  void ExpectSearchesFindNothing() const {
    Write("a", "");
    FindRecord record;
    EXPECT_NE(SearchStart(Dir + "*.none", AttrSpecial, record), 0);
    SearchClose(record);
    EXPECT_NE(SearchStart(Dir + "missing" + NativeSeparator() + "*", AttrSpecial, record), 0);
    EXPECT_NE(SearchNext(record), 0);
    SearchClose(record);
    SearchClose(record);
  }

  // What InputFile promises on every platform: a file is read in pieces to
  // its end; a missing file and a directory are never open and read nothing.
  void ExpectInputFileReadsInPieces() const {
    Write("f", "0123456789");
    InputFile file(At("f"));
    ASSERT_TRUE(file.IsOpen());
    char buffer[8];
    EXPECT_EQ(file.ReadBytes(buffer, 8), 8);
    EXPECT_EQ(file.ReadBytes(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_EQ(file.ReadBytes(buffer, 8), 0);

    InputFile missing(At("missing"));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.ReadBytes(buffer, 8), 0);
    InputFile directory(Dir);
    EXPECT_FALSE(directory.IsOpen());
  }

  std::string Dir;  // the scratch directory, with its closing separator
};
