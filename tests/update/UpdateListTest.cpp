// The update list: markers, versions, dates, the comparison and which files are offered.
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"
#include "update/FileVersion.h"
#include "update/UpdateList.h"
#include "update/UpdateServerFixture.h"

namespace qm {
namespace {

using test::TempDir;
using test::WithVersionRecord;
using test::WriteFileBytes;

std::string Section(const std::string& key, const std::string& ver, const std::string& date,
                    const std::string& url = "http://127.0.0.1:1/f",
                    const std::string& description = "desc") {
  return "[" + key + "]\r\n<ver>" + ver + "</ver>\r\n<date>" + date + "</date>\r\n<url>" + url +
         "</url>\r\n<description>" + description + "</description>\r\n[/" + key + "]\r\n";
}

std::string List(const std::string& program, const std::string& names) {
  return "[updatelist]\r\n<" + program + ">" + names + "</" + program + ">\r\n[/updatelist]\r\n";
}

TEST(TextBetweenMarkers, FirstOccurrencesExactCase) {
  EXPECT_EQ(TextBetweenMarkers("a<x>b</x>c<x>d</x>", "<x>", "</x>"), "b");
  EXPECT_EQ(TextBetweenMarkers("<X>b</X>", "<x>", "</x>"), "");
  EXPECT_EQ(TextBetweenMarkers("<x>b", "<x>", "</x>"), "");
  EXPECT_EQ(TextBetweenMarkers("</x><x>b", "<x>", "</x>"), "");  // malformed: nothing
  EXPECT_EQ(TextBetweenMarkers("<x></x>", "<x>", "</x>"), "");
}

TEST(ParseVersion, FourNumbersIntoTwoWords) {
  std::uint32_t v[2] = {7, 7};
  ParseVersion("", v);
  EXPECT_EQ(v[0], 7u);  // empty text leaves the words alone (they start at 0)
  ParseVersion("1.2.3.10", v);
  EXPECT_EQ(v[0], 1u * 65536 + 2);
  EXPECT_EQ(v[1], 3u * 65536 + 10);
  EXPECT_EQ(FormatVersion(v), "1.2.3.10");
}

TEST(ParseVersion, TextThatDoesNotConvertRaises) {
  std::uint32_t v[2] = {0, 0};
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"1.2.3", "'' is not a valid integer value"},
      {"1.2.x.4", "'x' is not a valid integer value"},
      {"1.2.3.4.5", "'4.5' is not a valid integer value"},
      {"1.2.3. 4", "' 4' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    try {
      ParseVersion(c.text, v);
      ADD_FAILURE() << c.text << " converted";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
  }
}

TEST(ParseListDate, OneFixedShortFormat) {
  EXPECT_DOUBLE_EQ(ParseListDate("1899-12-30"), 0.0);
  EXPECT_DOUBLE_EQ(ParseListDate("1970-01-01"), kUnixEpochDays);
  EXPECT_DOUBLE_EQ(ParseListDate("2024-2-29"), ParseListDate("2024-02-29"));
  EXPECT_EQ(FormatListDate(ParseListDate("2026-12-09")), "2026-12-09");
  for (const char* bad : {"", "2023-02-29", "09.12.2026", "2026/12/09", "2026-13-01", "26-12-09",
                          "2026-12-09 10:00"}) {
    try {
      ParseListDate(bad);
      ADD_FAILURE() << bad << " converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid date");
    }
  }
}

TEST(RemoteIsNewer, VersionFirstElseDate) {
  const auto stamp = [](const char* version, TDateTime date) {
    FileStampRec s;
    ParseVersion(version, s.StampVersion);
    s.StampDate = date;
    return s;
  };
  const struct {
    FileStampRec local, remote;
    bool newer;
  } cases[] = {
      {stamp("1.2.3.4", 100), stamp("1.2.3.10", 1), true},  // numbers, not text; date unused
      {stamp("1.2.3.4", 1), stamp("1.2.3.4", 100), false},
      {stamp("1.2.3.10", 1), stamp("1.2.3.4", 100), false},
      {stamp("1.3.0.0", 1), stamp("1.2.9.9", 100), false},
      {stamp("1.2.0.0", 1), stamp("2.0.0.0", 1), true},
      {stamp("", 100), stamp("9.9.9.9", 50), false},  // no local version: by date only
      {stamp("", 100), stamp("", 100.5), true},
      {stamp("0.0.1.0", 100), stamp("", 200), true},  // first word 0 counts as no version
      {stamp("", 0), stamp("", 1), true},             // a missing file
      {stamp("", 0), stamp("", 0), false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(RemoteIsNewer(cases[i].local, cases[i].remote), cases[i].newer) << "case " << i;
  }
}

TEST(FileVersionRecord, FoundInAnyFileSkippingMarkersWithoutVersion) {
  std::uint32_t v[2] = {0, 0};
  const std::string marker(kVersionRecordMarker);
  EXPECT_TRUE(FindVersionRecord(marker + std::string(1, '\0') + WithVersionRecord("2.1.0.37"), v));
  EXPECT_EQ(FormatVersion(v), "2.1.0.37");
  v[0] = v[1] = 0;
  EXPECT_FALSE(FindVersionRecord(marker + "1.2.3" + std::string(1, '\0'), v));
  EXPECT_FALSE(FindVersionRecord(marker + "1.2.3.70000" + std::string(1, '\0'), v));
  EXPECT_FALSE(FindVersionRecord(marker + "1.2.3.4", v));  // cut off before its end
  EXPECT_EQ(v[0], 0u);
}

class BuildUpdateListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.Path().string() + "/";
    UpdateItems.clear();
  }
  void Write(const std::string& name, const std::string& bytes, TDateTime date = 0) {
    std::filesystem::create_directories((dir_.Path() / name).parent_path());
    WriteFileBytes(dir_.Path() / name, bytes);
    if (date != 0) {
      ASSERT_TRUE(SetFileDate(folder_ + name, date));
    }
  }
  TempDir dir_;
  std::string folder_;
};

TEST_F(BuildUpdateListTest, OffersNewerFilesInListOrder) {
  Write("prog", WithVersionRecord("1.2.3.4"));
  Write("same", WithVersionRecord("1.2.3.4"));
  Write("old.txt", "plain", ParseListDate("2020-01-01"));
  Write("fresh.txt", "plain", ParseListDate("2030-01-01"));
  const std::string list = List("prog", "prog,same,missing.dat,old.txt,fresh.txt") +
                           Section("prog/prog", "1.2.3.10", "2000-01-01", "http://h/prog", "程序") +
                           Section("prog/same", "1.2.3.4", "2030-01-01") +
                           Section("prog/missing.dat", "", "1899-12-31") +
                           Section("prog/old.txt", "", "2021-01-01") +
                           Section("prog/fresh.txt", "9.0.0.0", "2021-01-01");
  ASSERT_TRUE(BuildUpdateList(list, "prog", folder_));
  ASSERT_EQ(UpdateItems.size(), 5u);
  const bool expected[] = {true, false, true, true, false};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(UpdateItems[i].IsNewer, expected[i]) << UpdateItems[i].ItemName;
    EXPECT_EQ(UpdateItems[i].IsFetched, 0);
  }
  const TUpdateList& prog = UpdateItems[0];
  EXPECT_EQ(prog.TargetName, "pro_");
  EXPECT_EQ(prog.Description, "程序");
  EXPECT_EQ(prog.RemoteInfo.StampUrl, "http://h/prog");
  EXPECT_EQ(FormatVersion(prog.LocalInfo.StampVersion), "1.2.3.4");
  EXPECT_EQ(prog.LocalInfo.StampUrl, "prog");
  EXPECT_EQ(UpdateItems[2].LocalInfo.StampDate, 0.0);  // missing: offered by its date
  EXPECT_EQ(UpdateItems[2].TargetName, "missing.da_");
  EXPECT_EQ(UpdateItems[1].TargetName, "");
}

TEST_F(BuildUpdateListTest, UpperCaseMarkersMakeEntriesUnreadable) {
  const std::string sections = Section("prog/a.txt", "", "2030-01-01");
  // The file list's tag in upper case: no names at all, the last list is kept.
  UpdateItems.resize(1);
  EXPECT_FALSE(BuildUpdateList(List("PROG", "a.txt") + sections, "prog", folder_));
  EXPECT_EQ(UpdateItems.size(), 1u);
  EXPECT_FALSE(BuildUpdateList(List("prog", "a.txt").replace(0, 12, "[UPDATELIST]") + sections,
                               "prog", folder_));
  // The program name is looked up in lower case, the section too.
  ASSERT_TRUE(BuildUpdateList(List("prog", "a.txt") + sections, "Prog", folder_));
  EXPECT_EQ(UpdateItems[0].IsNewer, 1);
  EXPECT_FALSE(BuildUpdateList(List("prog", "a.txt") + Section("Prog/a.txt", "", "2030-01-01"),
                               "prog", folder_));
  ASSERT_EQ(UpdateItems.size(), 1u);
  EXPECT_EQ(UpdateItems[0].IsNewer, 0);
}

TEST_F(BuildUpdateListTest, ThreeNumberVersionStopsWithConversionError) {
  const std::string list = List("prog", "a.txt") + Section("prog/a.txt", "1.2.3", "2030-01-01");
  try {
    BuildUpdateList(list, "prog", folder_);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
  EXPECT_THROW(BuildUpdateList(List("prog", "a.txt") + Section("prog/a.txt", "", "1.1.2030"),
                               "prog", folder_),
               EConvertError);
}

TEST_F(BuildUpdateListTest, NameWithDirectoryAndEmptyNames) {
  Write("Language/x.ini", "old", ParseListDate("2020-01-01"));
  const std::string list = List("prog", "Language/x.ini,,b.txt,") +
                           Section("prog/language/x.ini", "", "2021-01-01") +
                           Section("prog/b.txt", "", "2021-01-01");
  ASSERT_TRUE(BuildUpdateList(list, "prog", folder_));
  ASSERT_EQ(UpdateItems.size(), 3u);  // the empty name between commas counts, the trailing not
  EXPECT_EQ(UpdateItems[0].TargetName, "Language/x.in_");
  EXPECT_NE(UpdateItems[0].LocalInfo.StampDate, 0.0);
  EXPECT_EQ(UpdateItems[1].ItemName, "");
  EXPECT_EQ(UpdateItems[1].IsNewer, 0);
  EXPECT_EQ(UpdateItems[2].IsNewer, 1);
}

TEST_F(BuildUpdateListTest, NamesLeavingTheFolderAreNotOffered) {
  std::string list = List("prog", "../evil,/etc/passwd,a/../../b,..\\x,ok.txt,q\"uote");
  for (const char* key : {"../evil", "/etc/passwd", "a/../../b", "..\\x", "ok.txt", "q\"uote"})
    list += Section(std::string("prog/") + key, "", "2030-01-01");
  ASSERT_TRUE(BuildUpdateList(list, "prog", folder_));
  ASSERT_EQ(UpdateItems.size(), 6u);
  for (const TUpdateList& item : UpdateItems) {
    EXPECT_EQ(item.IsNewer, item.ItemName == "ok.txt") << item.ItemName;
  }
  EXPECT_TRUE(IsSafeItemName("a..b/c..d"));
  EXPECT_FALSE(IsSafeItemName("c:x"));
  EXPECT_FALSE(IsSafeItemName("dir/"));
}

}  // namespace
}  // namespace qm
