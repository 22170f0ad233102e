// End-to-end scenarios: each test gets a fresh temporary directory, builds
// files there with exact contents and last-write times, runs the real vorn
// binary in it (TZ=UTC) and checks the output, the status and the disk.
// With VORN_WINE_EXE=/path/vorn.exe in the environment the runs start the
// Windows build under Wine instead; scenario.cpp lists what that changes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct RunResult {
  std::string Out;
  std::string Err;
  int Status = -1;
};

class Scenario : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Paths are relative to the scenario's directory; parents are created.
  // Times are UTC, "YYYY-MM-DD hh:mm:ss".
  void File(const std::string& path, const std::string& content,
            const std::string& time = "2024-01-01 10:00:00");
  void FileOfSize(const std::string& path, size_t size,
                  const std::string& time = "2024-01-01 10:00:00");
  void Dir(const std::string& path);
  void SetTime(const std::string& path, const std::string& time);

  bool Exists(const std::string& path) const;
  std::string Read(const std::string& path) const;
  std::string TimeOf(const std::string& path) const;
  // Every entry below dir, one per line in sorted order: "name/" for a
  // directory, "name size" for a file.
  std::string Tree(const std::string& dir) const;
  std::string Abs(const std::string& path) const;

  RunResult Run(const std::vector<std::string>& arguments, const std::string& input = "");
  // The same with extra "NAME=value" entries in the run's environment.
  RunResult Run(const std::vector<std::string>& arguments, const std::string& input,
                const std::vector<std::string>& environment);
  // Runs vorn and expects exactly this standard output, nothing on standard
  // error, and the status.
  void Expect(const std::vector<std::string>& arguments, const std::string& out,
              int status = 0, const std::string& input = "");

  std::string Root;
};

// Lines joined with the line end, each line ended: Lines({"a", "b"}) == "a\nb\n".
std::string Lines(const std::vector<std::string>& lines);
// What a List action prints for names in the directory text where: the
// heading and the names four to a line; nothing for no names.
std::string Listed(const std::string& where, const std::vector<std::string>& names);
// The two lines of a run stopped by an error, with its message.
std::string Abort(const std::string& message);
extern const char* const kUsage;  // the usage text, RunAbort report included
