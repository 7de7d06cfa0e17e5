#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "config/Setting.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "support/TempDir.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The file written from the start values, as the user reads it.
constexpr const char* kStartFile =
    "[主要设置]\r\n"
    "下载内容=1\r\n"
    "下载范围=1\r\n"
    "图片位置=0\r\n"
    "下载层数=-1\r\n"
    "下载线程=10\r\n"
    "[更新设置]\r\n"
    "不更新静态网页=1\r\n"
    "不更新错误文件=1\r\n"
    "只更新网页文件=1\r\n"
    "[Cookies设置]\r\n"
    "使用系统Cookies=1\r\n"
    "是否拒绝包含特殊字符串的URL=1\r\n"
    "特殊字符串=cookies.asp?;&action=\r\n"
    "[链接设置]\r\n"
    "样式表和媒体链接=1\r\n"
    "[HTTPS设置]\r\n"
    "验证服务器证书=1\r\n"
    "附加CA证书文件=\r\n";

class SettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    file = (dir.Path() / "quillmoss.ini").string();
    SetSettingsFile(file);
  }
  void TearDown() override { ResetSettings(); }
  void WriteUtf8File(const std::string& text) { WriteFileBytes(file, Utf8ToGbk(text)); }

  TempDir dir;
  std::string file;
};

using Strings = std::vector<std::string>;

TEST_F(SettingTest, StartValuesWriteTheExampleFileByteForByte) {
  SaveSettings();
  const std::string onDisk = ReadFileBytes(file);
  EXPECT_EQ(GbkToUtf8(onDisk), kStartFile);
  EXPECT_EQ(onDisk, Utf8ToGbk(kStartFile));
}

TEST_F(SettingTest, NoFileKeepsEveryStartValue) {
  LoadSettings();
  EXPECT_EQ(DefaultContent, 1);
  EXPECT_EQ(DefaultScope, 1);
  EXPECT_FALSE(DefaultForeignImages);
  EXPECT_EQ(DefaultDepth, -1);
  EXPECT_EQ(ThreadCount, 10);
  EXPECT_TRUE(NoUpdateStatic && NoUpdateErrors && UpdatePagesOnly);
  EXPECT_TRUE(UseSystemCookies && RejectStringsOn && AutoUpdateNonPages);
  EXPECT_EQ(RejectStrings.Items(), (Strings{"cookies.asp?", "&action="}));
  EXPECT_FALSE(std::filesystem::exists(file));  // reading never creates the file
}

TEST_F(SettingTest, SavedValuesComeBackAfterARestart) {
  DefaultContent = -1;
  DefaultScope = 2;
  DefaultForeignImages = true;
  DefaultDepth = 3;
  ThreadCount = 4;
  NoUpdateStatic = false;
  NoUpdateErrors = false;
  UpdatePagesOnly = false;
  UseSystemCookies = false;
  RejectStringsOn = false;
  RejectStrings.Assign({"广告", "delete"});
  AutoUpdateNonPages = false;
  SaveSettings();
  ResetSettings();
  LoadSettings();
  EXPECT_EQ(DefaultContent, -1);
  EXPECT_EQ(DefaultScope, 2);
  EXPECT_TRUE(DefaultForeignImages);
  EXPECT_EQ(DefaultDepth, 3);
  EXPECT_EQ(ThreadCount, 4);
  EXPECT_FALSE(NoUpdateStatic || NoUpdateErrors || UpdatePagesOnly);
  EXPECT_FALSE(UseSystemCookies || RejectStringsOn);
  EXPECT_EQ(RejectStrings.Items(), (Strings{"广告", "delete"}));
  EXPECT_TRUE(AutoUpdateNonPages);  // never stored: on at every start
  EXPECT_NE(ReadFileBytes(file).find(Utf8ToGbk("特殊字符串=广告;delete\r\n")), std::string::npos);
}

TEST_F(SettingTest, RejectStringsSplitAtEverySemicolonButTheLast) {
  WriteUtf8File("[Cookies设置]\r\n特殊字符串=a;;b;\r\n");
  LoadSettings();
  EXPECT_EQ(RejectStrings.Items(), (Strings{"a", "", "b"}));
  WriteUtf8File("[Cookies设置]\r\n特殊字符串=;\r\n");
  LoadSettings();
  EXPECT_EQ(RejectStrings.Items(), (Strings{""}));
}

TEST_F(SettingTest, AnEmptyListIsSavedEmptyAndTheNextStartShowsTheStartEntries) {
  RejectStrings.Clear();
  SaveSettings();
  EXPECT_NE(GbkToUtf8(ReadFileBytes(file)).find("\r\n特殊字符串=\r\n"), std::string::npos);
  ResetSettings();
  LoadSettings();
  EXPECT_EQ(RejectStrings.Items(), (Strings{"cookies.asp?", "&action="}));
}

TEST_F(SettingTest, ValuesAreTakenAsReadWithoutRangeChecks) {
  WriteUtf8File("[主要设置]\r\n下载线程=0\r\n下载范围=7\r\n");
  LoadSettings();
  EXPECT_EQ(ThreadCount, 0);
  EXPECT_EQ(DefaultScope, 7);
  WriteUtf8File("[主要设置]\r\n下载线程=50\r\n下载层数=0x10\r\n");
  LoadSettings();
  EXPECT_EQ(ThreadCount, 50);
  EXPECT_EQ(DefaultDepth, 16);
}

TEST_F(SettingTest, ABooleanStoredAsTwoReadsTrueAndIsWrittenBackAsOne) {
  WriteUtf8File("[主要设置]\r\n图片位置=2\r\n");
  LoadSettings();
  EXPECT_TRUE(DefaultForeignImages);
  SaveSettings();
  EXPECT_NE(GbkToUtf8(ReadFileBytes(file)).find("图片位置=1\r\n"), std::string::npos);
}

TEST_F(SettingTest, MissingOrBadKeysAndSectionsKeepTheCurrentValues) {
  ThreadCount = 3;  // as if a dialog had changed it
  DefaultDepth = 5;
  WriteUtf8File(
      "[主要设置]\r\n下载线程=many\r\n下载内容=0\r\n"
      "[Cookies设置]\r\n使用系统Cookies=0\r\n");
  LoadSettings();
  EXPECT_EQ(ThreadCount, 3);   // not an integer
  EXPECT_EQ(DefaultDepth, 5);  // missing key
  EXPECT_EQ(DefaultContent, 0);
  EXPECT_TRUE(NoUpdateStatic);  // missing section
  EXPECT_FALSE(UseSystemCookies);
  EXPECT_TRUE(RejectStringsOn);
  EXPECT_EQ(RejectStrings.Count(), 2u);  // missing value keeps the list
}

TEST_F(SettingTest, HttpsKeysAreReadAndWrittenInTheirOwnSection) {
  WriteUtf8File("[HTTPS设置]\r\n验证服务器证书=0\r\n附加CA证书文件=/etc/我的/ca.pem\r\n");
  LoadSettings();
  EXPECT_FALSE(VerifyCertificates);
  EXPECT_EQ(ExtraCaFile.Get(), "/etc/我的/ca.pem");
  // A file without the section keeps verification on and names no extra file.
  ResetSettings();
  WriteUtf8File("[HTTPS设置]\r\n验证服务器证书=x\r\n");
  LoadSettings();
  EXPECT_TRUE(VerifyCertificates);
  EXPECT_EQ(ExtraCaFile.Get(), "");
  VerifyCertificates = false;
  ExtraCaFile.Set("/tmp/ca.pem");
  SaveSettings();
  EXPECT_NE(GbkToUtf8(ReadFileBytes(file))
                .find("[HTTPS设置]\r\n验证服务器证书=0\r\n附加CA证书文件=/tmp/ca.pem\r\n"),
            std::string::npos);
}

TEST_F(SettingTest, SavingKeepsUnknownKeysAndTheFileOrder) {
  WriteUtf8File(
      "[其他]\r\n备注=保留\r\n"
      "[主要设置]\r\n窗口=3\r\n下载线程=2\r\n下载内容=0\r\n");
  ThreadCount = 6;
  SaveSettings();
  EXPECT_EQ(GbkToUtf8(ReadFileBytes(file)),
            "[其他]\r\n备注=保留\r\n"
            "[主要设置]\r\n窗口=3\r\n下载线程=6\r\n下载内容=1\r\n"
            "下载范围=1\r\n图片位置=0\r\n下载层数=-1\r\n"
            "[更新设置]\r\n不更新静态网页=1\r\n不更新错误文件=1\r\n只更新网页文件=1\r\n"
            "[Cookies设置]\r\n使用系统Cookies=1\r\n是否拒绝包含特殊字符串的URL=1\r\n"
            "特殊字符串=cookies.asp?;&action=\r\n"
            "[链接设置]\r\n样式表和媒体链接=1\r\n"
            "[HTTPS设置]\r\n验证服务器证书=1\r\n附加CA证书文件=\r\n");
}

TEST_F(SettingTest, StyleAndMediaLinksIsASwitchOfItsOwnSectionOnByDefault) {
  LoadSettings();
  EXPECT_TRUE(StyleAndMediaLinks);
  // The key counts only in its own section.
  WriteUtf8File("[主要设置]\r\n样式表和媒体链接=0\r\n");
  LoadSettings();
  EXPECT_TRUE(StyleAndMediaLinks);
  WriteUtf8File("[链接设置]\r\n样式表和媒体链接=0\r\n");
  LoadSettings();
  EXPECT_FALSE(StyleAndMediaLinks);
  SaveSettings();
  ResetSettings();
  EXPECT_TRUE(StyleAndMediaLinks);
  LoadSettings();
  EXPECT_FALSE(StyleAndMediaLinks);
  EXPECT_NE(GbkToUtf8(ReadFileBytes(file)).find("[链接设置]\r\n样式表和媒体链接=0\r\n"),
            std::string::npos);
}

TEST_F(SettingTest, AnUnwritableFileReachesTheCallerAsUnableToWrite) {
  WriteFileBytes(dir.Path() / "plain", "x");
  const std::string blocked = (dir.Path() / "plain" / "quillmoss.ini").string();
  SetSettingsFile(blocked);
  try {
    SaveSettings();
    FAIL() << "no error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + blocked);
  }
  // A directory in the file's place: nothing is written over it.
  std::filesystem::create_directory(dir.Path() / "taken.ini");
  SetSettingsFile((dir.Path() / "taken.ini").string());
  EXPECT_THROW(SaveSettings(), EIniFileException);
  EXPECT_THROW(LoadSettings(), EIniFileException);
}

TEST_F(SettingTest, TheDefaultFileSitsBesideTheExecutableOrInTheUserConfiguration) {
  const auto exe = std::filesystem::read_symlink("/proc/self/exe");
  // The test program's directory is writable, so the file goes beside it.
  EXPECT_EQ(DefaultSettingsFile(), exe.string() + ".ini");

  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(UserSettingsFile(), "/tmp/xdg-test/quillmoss/quillmoss.ini");
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);  // only an absolute path counts
  const char* home = std::getenv("HOME");
  if (home && home[0]) {
    EXPECT_EQ(UserSettingsFile(), std::string(home) + "/.config/quillmoss/quillmoss.ini");
  }
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingTest, SavingToTheUserConfigurationCreatesItsFolder) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  SetSettingsFile(UserSettingsFile());
  SaveSettings();
  EXPECT_EQ(GbkToUtf8(ReadFileBytes(dir.Path() / "quillmoss" / "quillmoss.ini")), kStartFile);
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace qm
