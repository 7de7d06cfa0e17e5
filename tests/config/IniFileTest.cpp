#include <gtest/gtest.h>

#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "support/TempDir.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class IniFileTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name = "t.ini") const { return (dir.Path() / name).string(); }
  TempDir dir;
};

TEST_F(IniFileTest, WritesKeysInPlaceAndKeepsEveryOtherLine) {
  const std::string original =
      "; kept comment\r\n"
      "[A]\r\n"
      "x=1\r\n"
      "Other = keep me \r\n"
      "\r\n"
      "[Unknown]\r\n"
      "raw=\xFF\xFE not GBK\r\n"
      "[B]\r\n"
      "z=3\r\n";
  WriteFileBytes(File(), original);
  TIniFile ini(File());
  ini.WriteInteger("A", "x", 5);     // replaced where it stands
  ini.WriteString("a", "new", "n");  // section names ignore case; after the last non-blank line
  ini.WriteBool("C", "flag", true);  // a new section goes to the end
  EXPECT_EQ(ReadFileBytes(File()),
            "; kept comment\r\n"
            "[A]\r\n"
            "x=5\r\n"
            "Other = keep me \r\n"
            "new=n\r\n"
            "\r\n"
            "[Unknown]\r\n"
            "raw=\xFF\xFE not GBK\r\n"
            "[B]\r\n"
            "z=3\r\n"
            "[C]\r\n"
            "flag=1\r\n");
  // A fresh reader sees the same values.
  TIniFile again(File());
  EXPECT_EQ(again.ReadInteger("A", "X", 0), 5);
  EXPECT_EQ(again.ReadString("A", "other", "?"), "keep me");
  EXPECT_EQ(again.ReadBytes("Unknown", "raw", ""), "\xFF\xFE not GBK");
  EXPECT_TRUE(again.ReadBool("c", "FLAG", false));
}

TEST_F(IniFileTest, KeepsTheLineEndsOfAFileWrittenWithLineFeeds) {
  WriteFileBytes(File(), "[S]\nk=1\n");
  TIniFile ini(File());
  ini.WriteInteger("S", "k", 2);
  ini.WriteInteger("S", "j", 3);
  EXPECT_EQ(ReadFileBytes(File()), "[S]\nk=2\nj=3\n");
}

TEST_F(IniFileTest, ANewFileIsCreatedWithCarriageReturnLineFeed) {
  TIniFile ini(File());
  EXPECT_FALSE(ini.SectionExists("S"));
  ini.WriteString("S", "k", "v");
  EXPECT_EQ(ReadFileBytes(File()), "[S]\r\nk=v\r\n");
}

TEST_F(IniFileTest, NamesAndValuesAreGbkOnDisk) {
  TIniFile ini(File());
  ini.WriteString("主要设置", "特殊字符串", "下载;x");
  const std::string onDisk = ReadFileBytes(File());
  EXPECT_EQ(onDisk, Utf8ToGbk("[主要设置]\r\n特殊字符串=下载;x\r\n"));
  EXPECT_EQ(onDisk.substr(1, 8), "\xD6\xF7\xD2\xAA\xC9\xE8\xD6\xC3");
  TIniFile again(File());
  EXPECT_EQ(again.ReadString("主要设置", "特殊字符串", ""), "下载;x");
  EXPECT_EQ(again.ReadBytes("主要设置", "特殊字符串", ""), Utf8ToGbk("下载;x"));
}

TEST_F(IniFileTest, OnlyAsciiLettersFoldAndGbkTrailBytesStayExact) {
  // 0x81 0x41 and 0x81 0x61 are two different characters whose second bytes are "A" and "a".
  WriteFileBytes(File(), "[Sec]\r\n\x81\x41=upper\r\n");
  TIniFile ini(File());
  EXPECT_EQ(ini.ReadString("SEC", GbkToUtf8("\x81\x41"), "-"), "upper");
  EXPECT_EQ(ini.ReadString("sec", GbkToUtf8("\x81\x61"), "-"), "-");
}

TEST_F(IniFileTest, ReadsIntegersAsTheProfileReaderDoes) {
  WriteFileBytes(File(),
                 "[N]\r\n"
                 "dec= 42 \r\n"
                 "neg=-7\r\n"
                 "hex=0x1F\r\n"
                 "hexUpper=0XfF\r\n"
                 "negHex=-0x10\r\n"
                 "allBits=0xFFFFFFFF\r\n"
                 "tooWideHex=0x100000000\r\n"
                 "min=-2147483648\r\n"
                 "tooBig=2147483648\r\n"
                 "trailing=12abc\r\n"
                 "bareHex=0x\r\n"
                 "empty=\r\n"
                 "word=ten\r\n"
                 "quoted=\"15\"\r\n");
  TIniFile ini(File());
  EXPECT_EQ(ini.ReadInteger("N", "dec", 0), 42);
  EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -7);
  EXPECT_EQ(ini.ReadInteger("N", "hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "hexUpper", 0), 255);
  EXPECT_EQ(ini.ReadInteger("N", "negHex", 0), -16);
  EXPECT_EQ(ini.ReadInteger("N", "allBits", 0), -1);
  EXPECT_EQ(ini.ReadInteger("N", "min", 0), INT32_MIN);
  EXPECT_EQ(ini.ReadInteger("N", "quoted", 0), 15);
  for (const char* key : {"tooWideHex", "tooBig", "trailing", "bareHex", "empty", "word", "absent"})
    EXPECT_EQ(ini.ReadInteger("N", key, 99), 99) << key;
  EXPECT_EQ(ini.ReadInteger("NoSuchSection", "dec", 99), 99);
}

TEST_F(IniFileTest, BooleansAreAnyNonZeroInteger) {
  WriteFileBytes(File(), "[B]\r\ntwo=2\r\nminus=-1\r\nzero=0\r\nhexZero=0x0\r\nword=yes\r\n");
  TIniFile ini(File());
  EXPECT_TRUE(ini.ReadBool("B", "two", false));
  EXPECT_TRUE(ini.ReadBool("B", "minus", false));
  EXPECT_FALSE(ini.ReadBool("B", "zero", true));
  EXPECT_FALSE(ini.ReadBool("B", "hexZero", true));
  EXPECT_TRUE(ini.ReadBool("B", "word", true));  // not an integer: the default
  EXPECT_FALSE(ini.ReadBool("B", "word", false));
  EXPECT_TRUE(ini.ReadBool("B", "missing", true));
}

TEST_F(IniFileTest, StringsAreTrimmedUnquotedAndTheFirstDuplicateWins) {
  WriteFileBytes(File(),
                 "[S]\r\n"
                 "  spaced  =  a b  \r\n"
                 "dq=\"  x  \"\r\n"
                 "sq='y'\r\n"
                 "half=\"z\r\n"
                 "empty=\r\n"
                 "dup=first\r\n"
                 "dup=second\r\n"
                 "no equals sign\r\n"
                 "[S]\r\n"
                 "later=ignored\r\n");
  TIniFile ini(File());
  EXPECT_EQ(ini.ReadString("S", "spaced", "-"), "a b");
  EXPECT_EQ(ini.ReadString("S", "dq", "-"), "  x  ");
  EXPECT_EQ(ini.ReadString("S", "sq", "-"), "y");
  EXPECT_EQ(ini.ReadString("S", "half", "-"), "\"z");
  EXPECT_EQ(ini.ReadString("S", "empty", "-"), "");
  EXPECT_EQ(ini.ReadString("S", "dup", "-"), "first");
  EXPECT_EQ(ini.ReadString("S", "later", "-"), "-");
  EXPECT_FALSE(ini.ValueExists("S", "no equals sign"));
  EXPECT_TRUE(ini.ValueExists("S", "empty"));
}

TEST_F(IniFileTest, ALineBreakInAValueCannotStartANewKey) {
  TIniFile ini(File());
  ini.WriteString("S", "k", "a\r\n[T]\nx=1");
  TIniFile again(File());
  EXPECT_EQ(again.ReadString("S", "k", ""), "a  [T] x=1");
  EXPECT_FALSE(again.SectionExists("T"));
}

TEST_F(IniFileTest, DeferredWritesReachTheDiskAtUpdateFile) {
  TIniFile ini(File());
  ini.SetDeferredWrites(true);
  for (int i = 0; i < 3; ++i) ini.WriteInteger("Item" + std::to_string(i), "Next", i + 1);
  EXPECT_FALSE(std::filesystem::exists(File()));
  ini.UpdateFile();
  EXPECT_EQ(ReadFileBytes(File()),
            "[Item0]\r\nNext=1\r\n[Item1]\r\nNext=2\r\n[Item2]\r\nNext=3\r\n");
}

TEST_F(IniFileTest, AFileThatCannotBeWrittenRaisesUnableToWrite) {
  WriteFileBytes(dir.Path() / "plain", "not a directory");
  const std::string inFile = (dir.Path() / "plain" / "x.ini").string();
  TIniFile ini(inFile);  // missing: no sections
  try {
    ini.WriteInteger("S", "k", 1);
    FAIL() << "no error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + inFile);
  }
  // A directory in the file's place can be neither read nor written.
  std::filesystem::create_directory(File("dir.ini"));
  try {
    TIniFile bad(File("dir.ini"));
    FAIL() << "no error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to read " + File("dir.ini"));
  }
}

TEST_F(IniFileTest, WritingThroughASymlinkKeepsTheLink) {
  WriteFileBytes(File("real.ini"), "[S]\r\nk=1\r\n");
  std::filesystem::create_symlink(File("real.ini"), File("link.ini"));
  TIniFile ini(File("link.ini"));
  ini.WriteInteger("S", "k", 2);
  EXPECT_TRUE(std::filesystem::is_symlink(File("link.ini")));
  EXPECT_EQ(ReadFileBytes(File("real.ini")), "[S]\r\nk=2\r\n");
  EXPECT_FALSE(std::filesystem::exists(File("real.ini.tmp")));
}

}  // namespace
}  // namespace qm
