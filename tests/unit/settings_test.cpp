#include "run/settings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

using Names = std::vector<std::string>;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings = RunSettings{}; }
  void TearDown() override { Settings = RunSettings{}; }

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
  EXPECT_FALSE(Settings.Confirm);
  EXPECT_FALSE(Settings.Quiet);  // the fixed arguments are not read as switches
  EXPECT_FALSE(Settings.AcceptCtrlZ);
  EXPECT_TRUE(Settings.TerminateOnError);
  EXPECT_FLOAT_EQ(Settings.PtoUse, 2.0f);
  EXPECT_EQ(Settings.Modifier, Names{"Newer1"});
}

TEST_F(SettingsTest, ModifierPassResetsOnlyItsOwnFields) {
  Settings.Recurse = Settings.Confirm = Settings.AcceptCtrlZ = true;
  Settings.TerminateOnError = false;
  Settings.Modifier = {"Stale1"};
  Settings.Quiet = Settings.UseRecurseSkips = true;
  Settings.RecurseSkips = "_";
  Settings.PtoUse = 0.5f;
  Modifiers({});
  EXPECT_FALSE(Settings.Recurse);
  EXPECT_FALSE(Settings.Confirm);
  EXPECT_FALSE(Settings.AcceptCtrlZ);
  EXPECT_TRUE(Settings.TerminateOnError);
  EXPECT_TRUE(Settings.Modifier.empty());
  EXPECT_TRUE(Settings.Quiet);
  EXPECT_TRUE(Settings.UseRecurseSkips);
  EXPECT_EQ(Settings.RecurseSkips, "_");
  EXPECT_FLOAT_EQ(Settings.PtoUse, 0.5f);
}

TEST_F(SettingsTest, SwitchesAndFileMarkersMix) {
  Modifiers({"Newer1", "/c", "Older2"});
  EXPECT_EQ(Settings.Modifier, (Names{"Newer1", "Older2"}));
  EXPECT_TRUE(Settings.Confirm);

  Modifiers({"/c", "/nc", "/nt", "/ctrlz", "/q", "OnlyB"});
  EXPECT_FALSE(Settings.Confirm);
  EXPECT_FALSE(Settings.TerminateOnError);
  EXPECT_TRUE(Settings.AcceptCtrlZ);
  EXPECT_TRUE(Settings.Quiet);
  EXPECT_EQ(Settings.Modifier, Names{"OnlyB"});

  Modifiers({"/nt", "/t", "/ctrlz", "/nctrlz"});
  EXPECT_TRUE(Settings.TerminateOnError);
  EXPECT_FALSE(Settings.AcceptCtrlZ);
}

TEST_F(SettingsTest, WholeWordSwitchesIgnoreCasePrefixSwitchesDoNot) {
  Modifiers({"/R", "/Q", "/CtrlZ", "/C", "/P0.5", "/R_", "/Nt"});
  EXPECT_TRUE(Settings.Recurse);
  EXPECT_FALSE(Settings.UseRecurseSkips);
  EXPECT_TRUE(Settings.Quiet);
  EXPECT_TRUE(Settings.AcceptCtrlZ);
  EXPECT_TRUE(Settings.Confirm);
  EXPECT_FALSE(Settings.TerminateOnError);
  EXPECT_FLOAT_EQ(Settings.PtoUse, 2.0f);
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
    Settings.PtoUse = 7.0f;
    EXPECT_TRUE(ReadSwitch(word)) << word;
    EXPECT_EQ(Settings.PtoUse, expected) << word;
  }
  EXPECT_TRUE(Settings.Modifier.empty());
}
