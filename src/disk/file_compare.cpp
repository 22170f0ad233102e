#include "disk/file_compare.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "disk/comparison_memory.h"
#include "lists/handling.h"
#include "support/console.h"
#include "support/page_buffer.h"
#include "support/platform.h"

namespace {

// Files are compared in blocks of this size; which block decides is visible
// through the Ctrl-Z rule and its message.
constexpr size_t kBlockSize = 20480;
// Physical reads take many blocks at once.
constexpr size_t kBlocksPerRead = 50;
constexpr char kCtrlZ = 0x1A;

constexpr size_t kReadSize = kBlockSize * kBlocksPerRead;

// The two read buffers of a thread live for the whole run: a tree
// comparison opens thousands of small files, and a fresh megabyte each time
// (allocated, cleared, given back) would cost more than reading them.
char* ReadBuffer(int which) {
  thread_local PageBuffer buffers[2];
  if (!buffers[which]) buffers[which] = MakePageBuffer(kReadSize);
  return buffers[which].get();
}

// Delivers a file in logical blocks of kBlockSize bytes, read in larger
// pieces. A block is shorter than kBlockSize only at the end of the file.
class BlockReader {
 public:
  BlockReader(const std::string& path, int buffer)
      : File(path), Buffer(ReadBuffer(buffer)) {}

  bool IsOpen() const { return File.IsOpen(); }
  bool SameFileAs(const BlockReader& other) const { return File.SameFileAs(other.File); }
  const FileStamp& Stamp() const { return File.Stamp(); }
  bool Failed() const { return ReadError; }

  // Points block at the next block and gives its length.
  size_t NextBlock(const char*& block) {
    if (Position == Filled && !AtEnd) Refill();
    size_t length = std::min(kBlockSize, Filled - Position);
    block = Buffer + Position;
    Position += length;
    return length;
  }

 private:
  void Refill() {
    long long count = File.ReadBytes(Buffer, kReadSize);
    if (count < 0) {
      ReadError = true;
      count = 0;
    }
    Filled = static_cast<size_t>(count);
    Position = 0;
    AtEnd = Filled < kReadSize;
  }

  InputFile File;
  char* Buffer;
  size_t Filled = 0;
  size_t Position = 0;
  bool AtEnd = false;
  bool ReadError = false;
};

bool Differ(const char* a, const char* b, size_t length) {
  return length > 0 && std::memcmp(a, b, length) != 0;
}

// Blocks of unequal length: equal only under /ctrlz when the longer file
// ends with one extra Ctrl-Z.
int CompareUnequalBlocks(const char* block1, size_t count1, const char* block2,
                         size_t count2, BlockReader& longerFile, Comparison& comparison) {
  if (!Handling.AcceptCtrlZ) return 1;
  size_t shorter = std::min(count1, count2);
  if (std::max(count1, count2) - shorter > 1) return 1;
  const char* longer = count1 > count2 ? block1 : block2;
  if (longer[shorter] != kCtrlZ) {
    comparison.ExtraNotCtrlZ = true;
    return 1;
  }
  if (Differ(block1, block2, shorter)) return 1;
  const char* rest;
  return longerFile.NextBlock(rest) == 0 ? 0 : 1;
}

int CompareBlocks(BlockReader& file1, BlockReader& file2, Comparison& comparison) {
  for (;;) {
    const char* block1;
    const char* block2;
    size_t count1 = file1.NextBlock(block1);
    size_t count2 = file2.NextBlock(block2);
    if (count1 != count2)
      return CompareUnequalBlocks(block1, count1, block2, count2,
                                  count1 > count2 ? file1 : file2, comparison);
    if (Differ(block1, block2, count1)) return 1;
    if (count1 < kBlockSize) return 0;
  }
}

}  // namespace

Comparison CompareFiles(const std::string& first, const std::string& second) {
  if (std::optional<Comparison> kept = RecallComparison(first, second)) return *kept;
  Comparison comparison;
  BlockReader file1(first, 0);
  BlockReader file2(second, 1);
  // Two names of one file (a link on one side to the other side's file) are
  // not two copies: taking them for equal would let a Del ByteMatches delete
  // the only one there is. Files that are open tell it themselves.
  if (file1.IsOpen() && file2.IsOpen() ? file1.SameFileAs(file2) : IsSameFile(first, second)) {
    comparison.SameFile = first + " and " + second;
    return comparison;
  }
  if (!file1.IsOpen() || !file2.IsOpen()) {
    if (!file1.IsOpen()) comparison.Unreadable.push_back(first);
    if (!file2.IsOpen()) comparison.Unreadable.push_back(second);
    return comparison;
  }
  comparison.Result = CompareBlocks(file1, file2, comparison);
  // A read error ends a file early; what was compared proves nothing.
  if (file1.Failed()) comparison.Unreadable.push_back(first);
  if (file2.Failed()) comparison.Unreadable.push_back(second);
  if (!comparison.Unreadable.empty()) comparison.Result = 1;
  KeepComparison(file1.Stamp(), file2.Stamp(), comparison);
  return comparison;
}

void ReportComparison(const Comparison& comparison) {
  if (!comparison.SameFile.empty()) RunWarning2(comparison.SameFile, " are one and the same file");
  if (comparison.ExtraNotCtrlZ) {
    Write("Failed to match because extra char not CtrlZ.");
    EndLine();
  }
  for (const std::string& path : comparison.Unreadable) ReportUnreadable("file ", path);
}

int DiskFileCompare(const std::string& first, const std::string& second) {
  if (!Handling.Quiet) {
    Write("Comparing file ");
    Write(first);
    Write(" with ");
    Write(second);
    EndLine();
  }
  Comparison comparison = CompareFiles(first, second);
  ReportComparison(comparison);
  return comparison.Result;
}
