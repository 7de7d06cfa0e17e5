// The shared ASCII helpers: only A-Z/a-z fold, and the bytes of GBK text never change or match.
#include <gtest/gtest.h>

#include "platform/AsciiText.h"

namespace qm {
namespace {

TEST(AsciiText, FoldsOnlyAsciiLetters) {
  // "中文" in GBK, whose bytes include values that are letters once bit 7 is dropped.
  const std::string gbk = "\xD6\xD0\xCE\xC4";
  EXPECT_EQ(AsciiLowerCase("Set-Cookie: AbZ@[`{" + gbk), "set-cookie: abz@[`{" + gbk);
  EXPECT_EQ(AsciiUpperCase("Set-Cookie: AbZ@[`{" + gbk), "SET-COOKIE: ABZ@[`{" + gbk);
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Content-LENGTH", "content-length"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("content-length", "content-lengt"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 differ by the case bit only
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC1", "\xE1"));
}

TEST(AsciiText, TrimsBlanksAndControlsAtBothEnds) {
  EXPECT_EQ(TrimBlanks(" \t\r\n a b \x01\x1F "), "a b");
  EXPECT_EQ(TrimBlanks("\xA1\xA1x\xA1\xA1"), "\xA1\xA1x\xA1\xA1");  // a GBK blank is text
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(""), "");
}

}  // namespace
}  // namespace qm
