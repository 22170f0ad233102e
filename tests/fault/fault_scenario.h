// End-to-end scenarios whose runs have faults injected into the C library
// calls below the platform layer (fault_shim.c, rules in README.md).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../e2e/scenario.h"

class FaultScenario : public Scenario {
 protected:
  void TearDown() override {
    std::filesystem::remove(LogPath());
    Scenario::TearDown();
  }

  // Runs vorn with the fault rules in effect; Injected() then counts the
  // faults that struck.
  RunResult RunWithFault(const std::vector<std::string>& arguments, const std::string& rules,
                         const std::string& input = "") {
    std::filesystem::remove(LogPath());
    std::vector<std::string> environment = {std::string("LD_PRELOAD=") + VORN_FAULT_SHIM,
                                            "VORN_FAULT=" + rules,
                                            "VORN_FAULT_LOG=" + LogPath()};
    // The reliability report counts runs and faults per test.
    if (const char* tally = std::getenv("VORN_FAULT_TALLY_DIR")) {
      const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
      environment.push_back(std::string("VORN_FAULT_TALLY=") + tally + "/" +
                            test->test_suite_name() + "." + test->name());
    }
#ifdef VORN_SANITIZED
    // The shim comes before the sanitizer runtime in the list of libraries.
    const char* options = std::getenv("ASAN_OPTIONS");
    environment.push_back(std::string("ASAN_OPTIONS=") + (options ? options : "") +
                          ":verify_asan_link_order=0");
#endif
    return Run(arguments, input, environment);
  }

  // Expects exactly this standard output and status, nothing on standard
  // error, and at least one fault that struck.
  void ExpectFault(const std::vector<std::string>& arguments, const std::string& rules,
                   const std::string& out, int status = 0) {
    RunResult result = RunWithFault(arguments, rules);
    EXPECT_EQ(result.Out, out);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(result.Status, status);
    EXPECT_GT(Injected(), 0) << "no fault struck: " << rules;
  }

  int Injected() const {
    std::ifstream log(LogPath());
    int lines = 0;
    for (std::string line; std::getline(log, line);) ++lines;
    return lines;
  }

  // The copy's temporary files (".vorn-" names) anywhere below dir.
  std::vector<std::string> Temporaries(const std::string& dir) const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Abs(dir))) {
      std::string name = entry.path().filename().string();
      if (name.starts_with(".vorn-")) found.push_back(name);
    }
    return found;
  }

  // The error report of a copy that failed, and of a run that stopped.
  static std::string CopyFailed(const std::string& source) {
    return Lines({"ERROR: Unable to copy file " + source}) + "\a";
  }
 private:
  std::string LogPath() const { return Root + ".faults"; }
};
