// Names as the file systems have them: every script, marks a command
// interpreter would expand, look-alikes, and paths far past the classic
// limit of 260 characters. Each file is found, paired and copied by its own
// name, and no file is ever replaced by a look-alike's.
#include <string>
#include <vector>

#include "scenario.h"

using Names = Scenario;

namespace {

const char* const kOld = "2020-02-02 02:02:02";
const char* const kMid = "2022-02-02 02:02:02";
const char* const kNew = "2024-04-04 04:04:04";

const std::string kAlphaMacron = "\xC4\x80lpha.txt";                  // Ālpha.txt
const std::string kCyrillic = "\xD0\x96\xD1\x83\xD0\xBA.txt";          // Жук.txt
const std::string kChinese = "\xE4\xB8\xAD\xE6\x96\x87.txt";          // 中文.txt
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC.txt";         // 日本.txt
const std::string kEmoji = "\xF0\x9F\x98\x80.txt";                    // 😀.txt

}  // namespace

// Through a code page, 日本.txt and 中文.txt both read as ??.txt and Ālpha.txt
// as Alpha.txt: the wrong files were paired, and a synchronisation replaced
// the newer b/Alpha.txt with the older a/Alpha.txt.
TEST_F(Names, NamesInEveryScriptAreListedPairedAndCopiedByTheirOwnNames) {
  File("a/Alpha.txt", "a alpha", kOld);
  File("a/" + kAlphaMacron, "macron", kNew);
  File("a/" + kCyrillic, "cyrillic", kNew);
  File("a/" + kChinese, "chinese", kNew);
  File("a/" + kJapanese, "a japanese", kNew);
  File("a/" + kEmoji, "emoji", kNew);
  File("b/Alpha.txt", "b alpha", kMid);
  File("b/" + kJapanese, "b japanese", kOld);
  Expect({"a/", "b", "List1", "Only1"},
         Listed("a/*.*", {kAlphaMacron, kCyrillic, kChinese, kEmoji}));
  Expect({"a/", "b", "List1", "Newer1"}, Listed("a/*.*", {kJapanese}));
  std::vector<std::string> copies;
  for (const std::string& name : {kAlphaMacron, kCyrillic, kChinese, kJapanese, kEmoji})
    copies.push_back("Copying a/" + name + " to b/" + name);
  copies.push_back("Copying b/Alpha.txt to a/Alpha.txt");
  Expect({"a/", "b", "Sync"}, Lines(copies));
  EXPECT_EQ(Read("b/Alpha.txt"), "b alpha");
  EXPECT_EQ(TimeOf("b/Alpha.txt"), kMid);
  EXPECT_EQ(Read("a/Alpha.txt"), "b alpha");
  EXPECT_EQ(Read("b/" + kAlphaMacron), "macron");
  EXPECT_EQ(Read("b/" + kJapanese), "a japanese");
  EXPECT_EQ(Read("b/" + kChinese), "chinese");
  EXPECT_EQ(TimeOf("b/" + kEmoji), kNew);
  EXPECT_EQ(Tree("a"), Tree("b"));
  Expect({"a/", "b", "Sync"}, "");
}

TEST_F(Names, NonAsciiDirectoriesAndControlFilesAreTakenAsWritten) {
  const std::string from = "donn\xC3\xA9" "es";                       // données
  const std::string to = "\xD0\x92\xD0\xB5\xD1\x82\xD0\xBA\xD0\xB0";  // Ветка
  File(from + "/" + kChinese, "chinese", kNew);
  File(from + "/" + kJapanese + "/" + kEmoji, "emoji", kNew);
  Dir(to);
  Expect({from + "/", to, "Update2", "/r"},
         Lines({"Copying " + from + "/" + kChinese + " to " + to + "/" + kChinese,
                "Copying " + from + "/" + kJapanese + "/" + kEmoji + " to " + to + "/" +
                    kJapanese + "/" + kEmoji,
                "Creating target directory " + to + "/" + kJapanese,
                "Trying to create directory " + to + "/" + kJapanese}));
  EXPECT_EQ(Read(to + "/" + kJapanese + "/" + kEmoji), "emoji");
  File("\xD0\xBF\xD0\xB0\xD1\x80\xD1\x8B.txt", from + "/\t" + to + "\n");  // пары.txt
  Expect({"@\xD0\xBF\xD0\xB0\xD1\x80\xD1\x8B.txt", "List1", "All1", "/r"},
         Listed(from + "/*.*", {kChinese}) + Listed(from + "/" + kJapanese + "/*.*", {kEmoji}));
}

// A command interpreter expands %OS% inside a quoted name: r%OS%s.txt was
// taken for rWindows_NTs.txt, and an older file replaced a newer one.
TEST_F(Names, MarksAnInterpreterWouldExpandAreJustPartOfTheName) {
  const std::vector<std::string> names = {"!x!.txt", "50% & more.txt", "r%OS%s.txt",
                                          "^caret^.txt"};
  for (const std::string& name : names) File("a/" + name, "content of " + name, kNew);
  File("a/rWindows_NTs.txt", "older", kOld);
  File("b/rWindows_NTs.txt", "newest", kNew);
  std::vector<std::string> copies, moves;
  for (const std::string& name : names) {
    copies.push_back("Copying a/" + name + " to b/" + name);
    moves.push_back("Moving a/" + name + " to c/" + name);
    if (name == "r%OS%s.txt") moves.push_back("Moving a/rWindows_NTs.txt to c/rWindows_NTs.txt");
  }
  Expect({"a/", "b", "Update2"}, Lines(copies));
  Dir("c");
  Expect({"a/", "c", "Move1", "Only1"}, Lines(moves));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Read("b/" + name), "content of " + name);
    EXPECT_EQ(Read("c/" + name), "content of " + name);
  }
  EXPECT_EQ(Read("b/rWindows_NTs.txt"), "newest");
  EXPECT_EQ(Read("c/rWindows_NTs.txt"), "older");
  EXPECT_EQ(Tree("a"), "");
}

// Four levels of 80-character names put the deepest file 340 characters
// down; every level is listed, copied and updated like the top one.
TEST_F(Names, ATreeDeeperThanTheClassicLimitIsUpdatedAtEveryLevel) {
  const std::string level(80, 'L');
  std::vector<std::string> directories = {""};
  for (int depth = 1; depth <= 4; ++depth) directories.push_back(directories.back() + level + "/");
  for (size_t depth = 0; depth < directories.size(); ++depth)
    File("a/" + directories[depth] + "f" + std::to_string(depth), "old", kOld);
  ASSERT_GT(("a/" + directories.back() + "f4").size(), 300u);
  Dir("b");
  std::vector<std::string> made;
  for (size_t depth = 1; depth < directories.size(); ++depth) {
    std::string created = "b/" + directories[depth];
    created.pop_back();
    made.push_back("Creating target directory " + created);
    made.push_back("Trying to create directory " + created);
  }
  Expect({"a/", "b", "Update2", "/r", "/q"}, Lines(made));
  for (size_t depth = 0; depth < directories.size(); ++depth)
    File("a/" + directories[depth] + "f" + std::to_string(depth), "newer", kNew);
  std::vector<std::string> copies;
  for (size_t depth = 0; depth < directories.size(); ++depth) {
    const std::string file = directories[depth] + "f" + std::to_string(depth);
    copies.push_back("Copying a/" + file + " to b/" + file);
  }
  Expect({"a/", "b", "Update2", "/r"}, Lines(copies));
  for (size_t depth = 0; depth < directories.size(); ++depth) {
    EXPECT_EQ(Read("b/" + directories[depth] + "f" + std::to_string(depth)), "newer");
    EXPECT_EQ(TimeOf("b/" + directories[depth] + "f" + std::to_string(depth)), kNew);
  }
  std::vector<std::string> removed;
  for (size_t depth = directories.size() - 1; depth > 0; --depth) {
    std::string directory = "b/" + directories[depth];
    directory.pop_back();
    removed.push_back("Deleting directory " + directory);
  }
  removed.push_back("Deleting directory b");
  Expect({"a/", "b", "Del2", "Matches", "/r", "/q"}, Lines(removed));
  EXPECT_FALSE(Exists("b"));
}

// café.txt and CAFÉ.txt differ beyond ASCII letter case: two names to Vorn,
// which pairs by ASCII case only, but one to a file system that folds every
// letter. The copy must not replace the file it never compared.
TEST_F(Names, ACaseVariantBeyondAsciiIsNeverReplaced) {
  File("a/caf\xC3\xA9.txt", "older", kOld);
  File("b/CAF\xC3\x89.txt", "newest", kNew);
  RunResult result = Run({"a/", "b", "Update2"});
  EXPECT_NE(result.Out.find("WARNING: Target exists and was not compared: b/caf\xC3\xA9.txt\n"),
            std::string::npos)
      << result.Out;
  EXPECT_NE(result.Status, 0);
  EXPECT_EQ(Read("b/CAF\xC3\x89.txt"), "newest");
  EXPECT_EQ(TimeOf("b/CAF\xC3\x89.txt"), kNew);
  EXPECT_EQ(Tree("b"), Lines({"CAF\xC3\x89.txt 6"}));
}
