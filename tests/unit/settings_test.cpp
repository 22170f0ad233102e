#include "run/settings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

using Names = std::vector<std::string>;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings = RunSettings{};
    Handling = FileHandling{};
  }
  void TearDown() override {
    Settings = RunSettings{};
    Handling = FileHandling{};
  }

  // The modifier pass of the direct form: the fixed arguments come first.
  static void Modifiers(std::initializer_list<const char*> words) {
    std::vector<const char*> arguments = {"vorn", "/q", "/c", "List1"};
    arguments.insert(arguments.end(), words);
    ReadModifiers(static_cast<int>(arguments.size()), arguments.data(), 4);
  }
};

}  // namespace

TEST_F(SettingsTest, DefaultsWithoutSwitches) {
  Modifiers({"Newer1"});
  EXPECT_FALSE(Settings.Recurse);
  EXPECT_FALSE(Handling.Confirm);
  EXPECT_FALSE(Handling.Quiet);  // the fixed arguments are not read as switches
  EXPECT_FALSE(Handling.AcceptCtrlZ);
  EXPECT_TRUE(Handling.TerminateOnError);
  EXPECT_FLOAT_EQ(Handling.PtoUse, 2.0f);
  EXPECT_EQ(Settings.Modifier, Names{"Newer1"});
}

TEST_F(SettingsTest, ModifierPassResetsOnlyItsOwnFields) {
  Settings.Recurse = Handling.Confirm = Handling.AcceptCtrlZ = true;
  Handling.TerminateOnError = false;
  Settings.Modifier = {"Stale1"};
  Handling.Quiet = Settings.UseRecurseSkips = true;
  Settings.RecurseSkips = "_";
  Handling.PtoUse = 0.5f;
  Modifiers({});
  EXPECT_FALSE(Settings.Recurse);
  EXPECT_FALSE(Handling.Confirm);
  EXPECT_FALSE(Handling.AcceptCtrlZ);
  EXPECT_TRUE(Handling.TerminateOnError);
  EXPECT_TRUE(Settings.Modifier.empty());
  EXPECT_TRUE(Handling.Quiet);
  EXPECT_TRUE(Settings.UseRecurseSkips);
  EXPECT_EQ(Settings.RecurseSkips, "_");
  EXPECT_FLOAT_EQ(Handling.PtoUse, 0.5f);
}

TEST_F(SettingsTest, SwitchesAndFileMarkersMix) {
  Modifiers({"Newer1", "/c", "Older2"});
  EXPECT_EQ(Settings.Modifier, (Names{"Newer1", "Older2"}));
  EXPECT_TRUE(Handling.Confirm);

  Modifiers({"/c", "/nc", "/nt", "/ctrlz", "/q", "OnlyB"});
  EXPECT_FALSE(Handling.Confirm);
  EXPECT_FALSE(Handling.TerminateOnError);
  EXPECT_TRUE(Handling.AcceptCtrlZ);
  EXPECT_TRUE(Handling.Quiet);
  EXPECT_EQ(Settings.Modifier, Names{"OnlyB"});

  Modifiers({"/nt", "/t", "/ctrlz", "/nctrlz"});
  EXPECT_TRUE(Handling.TerminateOnError);
  EXPECT_FALSE(Handling.AcceptCtrlZ);
}

TEST_F(SettingsTest, WholeWordSwitchesIgnoreCasePrefixSwitchesDoNot) {
  Modifiers({"/R", "/Q", "/CtrlZ", "/C", "/P0.5", "/R_", "/Nt"});
  EXPECT_TRUE(Settings.Recurse);
  EXPECT_FALSE(Settings.UseRecurseSkips);
  EXPECT_TRUE(Handling.Quiet);
  EXPECT_TRUE(Handling.AcceptCtrlZ);
  EXPECT_TRUE(Handling.Confirm);
  EXPECT_FALSE(Handling.TerminateOnError);
  EXPECT_FLOAT_EQ(Handling.PtoUse, 2.0f);
  EXPECT_EQ(Settings.Modifier, (Names{"/P0.5", "/R_"}));
  EXPECT_FALSE(ReadSwitch("/x"));
  EXPECT_FALSE(ReadSwitch(""));
}

TEST_F(SettingsTest, RecursionAndItsSkips) {
  Modifiers({"/r#"});
  EXPECT_TRUE(Settings.Recurse);
  EXPECT_TRUE(Settings.UseRecurseSkips);
  EXPECT_EQ(Settings.RecurseSkips, "#");

  Modifiers({"/r_~"});
  EXPECT_EQ(Settings.RecurseSkips, "_~");

  // Any longer word after /r is a skip list, even one that reads as a switch.
  Modifiers({"/rnr"});
  EXPECT_TRUE(Settings.Recurse);
  EXPECT_TRUE(Settings.UseRecurseSkips);
  EXPECT_EQ(Settings.RecurseSkips, "nr");

  Modifiers({"/r_", "/r"});
  EXPECT_TRUE(Settings.Recurse);
  EXPECT_FALSE(Settings.UseRecurseSkips);

  Modifiers({"/r_", "/nr"});
  EXPECT_FALSE(Settings.Recurse);
  EXPECT_TRUE(Settings.UseRecurseSkips);  // /nr leaves the skipping as it was

  Modifiers({"/r_", "/nr", "/r"});
  EXPECT_TRUE(Settings.Recurse);
  EXPECT_FALSE(Settings.UseRecurseSkips);
  EXPECT_TRUE(Settings.Modifier.empty());
}

TEST_F(SettingsTest, ProbabilityReadsTheLeadingNumber) {
  const std::pair<const char*, float> cases[] = {
      {"/p0.30", 0.30f}, {"/p", 0.0f}, {"/p1", 1.0f}, {"/p0.30abc", 0.30f}, {"/pabc", 0.0f},
  };
  for (const auto& [word, expected] : cases) {
    Handling.PtoUse = 7.0f;
    EXPECT_TRUE(ReadSwitch(word)) << word;
    EXPECT_EQ(Handling.PtoUse, expected) << word;
  }
  EXPECT_TRUE(Settings.Modifier.empty());
}
