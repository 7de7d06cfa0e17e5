// Whole and ranged downloads: where the limit lies, the exact slices, resuming from a temporary
// file, and servers that do not honour Range.
#include <gtest/gtest.h>

#include "WorkerHarness.h"

namespace qm::test {
namespace {

// The Range headers a ranged download of `size` bytes sends: slices of 10241 bytes, both ends
// included, the last one open.
std::vector<std::string> ExpectedRanges(std::int64_t size, std::int64_t from = 0) {
  std::vector<std::string> ranges;
  for (std::int64_t start = from; start < size; start += 10241) {
    if (size - start > 10240) {
      ranges.push_back("bytes=" + std::to_string(start) + "-" + std::to_string(start + 10240));
    } else {
      ranges.push_back("bytes=" + std::to_string(start) + "-");
      break;
    }
  }
  return ranges;
}

// Compares without printing megabytes of binary on a failure.
void ExpectFileHolds(const std::filesystem::path& file, const std::string& expected) {
  const std::string actual = ReadFileBytes(file);
  EXPECT_EQ(actual.size(), expected.size()) << file;
  EXPECT_TRUE(actual == expected) << file << " differs from the served body";
}

std::vector<std::string> RangesOf(const std::vector<SiteRequest>& requests) {
  std::vector<std::string> out;
  for (const auto& r : requests) out.push_back(r.Range);
  return out;
}

TEST(WorkerRange, BodiesUpTo102400BytesComeWholeAndLongerOnesInSlices) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::string exact = PatternBody(102400);
  const std::string oneMore = PatternBody(102401);
  const std::string large = PatternBody(300000);
  site.Put("/exact.bin", FileOf(exact));
  site.Put("/onemore.bin", FileOf(oneMore));
  site.Put("/large.bin", FileOf(large));
  site.Put("/after.gif", FileOf("after"));
  TaskUnderTest t(site.Url("/exact.bin"));
  t.Add(site.Url("/onemore.bin"));
  const std::int32_t largeIndex = t.Add(site.Url("/large.bin"));
  t.Add(site.Url("/after.gif"));

  RunTask(t.Task, {});

  EXPECT_EQ(RangesOf(site.Requests("GET", "/exact.bin")), std::vector<std::string>{""});
  const auto oneMoreRanges = RangesOf(site.Requests("GET", "/onemore.bin"));
  EXPECT_EQ(oneMoreRanges, ExpectedRanges(102401));
  ASSERT_FALSE(oneMoreRanges.empty());
  EXPECT_EQ(oneMoreRanges.front(), "bytes=0-10240");
  EXPECT_EQ(oneMoreRanges.back(), "bytes=92169-");
  EXPECT_EQ(RangesOf(site.Requests("GET", "/large.bin")), ExpectedRanges(300000));

  ExpectFileHolds(t.File("127.0.0.1/exact.bin"), exact);
  ExpectFileHolds(t.File("127.0.0.1/onemore.bin"), oneMore);
  ExpectFileHolds(t.File("127.0.0.1/large.bin"), large);
  EXPECT_EQ(t.Task.GetSize(largeIndex), 300000);
  EXPECT_EQ(t.Task.GetStatus(largeIndex), Saved);
  // The client forgot the range once the ranged download was over.
  for (const auto& r : site.Requests("HEAD", "/after.gif")) EXPECT_EQ(r.Range, "");
  for (const auto& r : site.Requests("GET", "/after.gif")) EXPECT_EQ(r.Range, "");
  // Progress of the slices goes to the status bar only.
  const std::string progress = LinePrefix(t.Task, largeIndex) + "正在下载" +
                               site.Url("/large.bin") + "文件，已经下载300000字节";
  bool inStatus = false;
  for (const auto& s : window.StatusTexts()) inStatus = inStatus || s == progress;
  EXPECT_TRUE(inStatus);
  EXPECT_FALSE(window.HasLineContaining("已经下载"));
}

TEST(WorkerRange, AStoppedRangedDownloadResumesFromItsTemporaryFile) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::string body = PatternBody(200000);
  site.Put("/big.zip", FileOf(body));
  TaskUnderTest t(site.Url("/big.zip"));
  // The user stops the task while the fourth slice is on its way.
  site.OnGet("/big.zip", [&](int getCount) {
    if (getCount == 4) t.Task.MarkStopped();
  });

  RunTask(t.Task, {});

  EXPECT_EQ(site.Count("GET", "/big.zip"), 4);
  // Not a failure: the entry waits for the next run.
  EXPECT_EQ(t.Task.GetStatus(0), NotDownloaded);
  // Whole slices only: the fourth one is kept when it arrived before the stop was noticed, and
  // dropped when the stop ended its transfer.
  const auto kept =
      static_cast<std::int64_t>(std::filesystem::file_size(t.File("127.0.0.1/big.zip.tmp")));
  EXPECT_TRUE(kept == 3 * 10241 || kept == 4 * 10241) << kept;
  EXPECT_FALSE(std::filesystem::exists(t.File("127.0.0.1/big.zip")));

  // The next run takes the entry up again and continues where the file ends.
  site.OnGet("/big.zip", nullptr);
  RunTask(t.Task, {});

  const auto requests = site.Requests("GET", "/big.zip");
  ASSERT_GT(requests.size(), 4u);
  std::vector<std::string> second;
  for (std::size_t i = 4; i < requests.size(); ++i) second.push_back(requests[i].Range);
  EXPECT_EQ(second, ExpectedRanges(200000, kept));
  EXPECT_EQ(second.front(), "bytes=" + std::to_string(kept) + "-" + std::to_string(kept + 10240));
  ExpectFileHolds(t.File("127.0.0.1/big.zip"), body);
  EXPECT_EQ(t.Task.GetStatus(0), Saved);
}

TEST(WorkerRange, AServerThatIgnoresRangeGivesTheBodyOnceNotRepeatedCopies) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::string body = PatternBody(300000);
  site.Put("/whole.bin", FileOf(body).NoRanges());
  TaskUnderTest t(site.Url("/whole.bin"));

  RunTask(t.Task, {});

  EXPECT_EQ(site.Count("GET", "/whole.bin"), 1);
  ExpectFileHolds(t.File("127.0.0.1/whole.bin"), body);
  EXPECT_EQ(t.Task.GetStatus(0), Saved);
  EXPECT_EQ(t.Task.GetSize(0), 300000);
}

TEST(WorkerRange, AResumeOnAServerThatIgnoresRangeRestartsTheFile) {
  WorkerTestEnvironment env;
  ScopedRecordingWindow window;
  TestSite site;
  const std::string body = PatternBody(150000);
  site.Put("/whole.bin", FileOf(body).NoRanges());
  TaskUnderTest t(site.Url("/whole.bin"));
  // Half a file from an earlier attempt.
  std::filesystem::create_directories(t.File("127.0.0.1"));
  WriteFileBytes(t.File("127.0.0.1/whole.bin.tmp"), body.substr(0, 50000));

  RunTask(t.Task, {});

  EXPECT_EQ(RangesOf(site.Requests("GET", "/whole.bin")),
            std::vector<std::string>{"bytes=50000-60240"});
  ExpectFileHolds(t.File("127.0.0.1/whole.bin"), body);
}

}  // namespace
}  // namespace qm::test
