#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "manager/DirFixture.h"
#include "platform/IniFile.h"

namespace qm::test {
namespace {

// An item section with the links the repair follows; `more` adds further "key=value" lines.
std::string Item(int n, const std::string& name, int type, int next, int sonFirst,
                 const std::string& more = "") {
  return "[Item" + std::to_string(n) + "]\r\nName=" + name + "\r\nType=" + std::to_string(type) +
         "\r\nNext=" + std::to_string(next) + "\r\nSonFirst=" + std::to_string(sonFirst) + "\r\n" +
         more;
}

class DirIniTest : public DirTest {
 protected:
  void LoadDamaged(const std::string& header, const std::string& items) {
    WriteFileBytes(File(), "[Quillmoss]\r\n" + header + items);
    dir.LoadDir();
    EXPECT_TRUE(TreeIsSound(dir));
  }
};

TEST_F(DirIniTest, TheExampleTreeIsWrittenByteForByteAndReadBack) {
  Build(dir, "plants");
  dir.Items[0].Expand = true;
  TDirItem& task = dir.Items[2];
  task.Name = "植物\tpages";                      // a tab cannot stay in a one-line value
  task.StartURL = "http://example.com/\xB0\xA1";  // bytes, not converted
  dir.SaveDir();
  EXPECT_EQ(ReadFileBytes(File()),
            "[Quillmoss]\r\nVersion=1.0\r\nLength=3\r\nDeletedCount=0\r\n"
            "[Item0]\r\nName=Quillmoss\r\nType=0\r\nExpand=1\r\nParent=-1\r\nNext=1\r\n"
            "Previous=-1\r\nSonFirst=2\r\nSonEnd=2\r\n"
            "[Item1]\r\nName=\xBB\xD8\xCA\xD5\xD5\xBE\r\nType=2\r\nExpand=0\r\nParent=-1\r\n"
            "Next=-1\r\nPrevious=0\r\nSonFirst=-1\r\nSonEnd=-1\r\n"
            "[Item2]\r\nName=\xD6\xB2\xCE\xEF pages\r\nType=1\r\nExpand=0\r\nParent=0\r\n"
            "Next=-1\r\nPrevious=-1\r\nSonFirst=-1\r\nSonEnd=-1\r\nPath=C:\\Websites\\\r\n"
            "FileName=plants.web\r\nStartURL=http://example.com/\xB0\xA1\r\n");
  const TDir again = Reloaded();
  EXPECT_EQ(again.Items[2].Name, "植物 pages");
  EXPECT_EQ(again.Items[2].StartURL, task.StartURL);
  EXPECT_EQ(again.Items[2].Path + again.Items[2].FileName, "C:\\Websites\\plants.web");
}

TEST_F(DirIniTest, ASoundFileLoadsBackUnchangedWithItsExpansionState) {
  Build(dir, "A[a=b B[x 植物] 100%] c Z[d]");
  dir.Items[Find(dir, "x")].Name = "[x] ;y";  // not a section line, not a comment
  dir.DeleteTask(Find(dir, "c"));
  dir.DeleteCategory(Find(dir, "Z"), true);
  for (const char* name : {"Quillmoss", "回收站", "B"}) dir.Items[Find(dir, name)].Expand = true;
  dir.Compact();
  dir.SaveDir();
  EXPECT_EQ(LoadedAndSavedAgain(), ReadFileBytes(File()));
  TDir again = Reloaded();
  EXPECT_EQ(Shape(again), "Quillmoss[A[a=b B[[x] ;y 植物] 100%]] 回收站[c d]");
  again.View = &view;
  again.FillView();
  EXPECT_EQ(view.Expanded, (std::vector<std::string>{"Quillmoss", "回收站", "B"}));
}

TEST_F(DirIniTest, ASmallerTreeLeavesOldSectionsThatLoadingIgnores) {
  Build(dir, "t0 A[B] t1 t2 t3");
  dir.SaveDir();
  TDir smaller(File());
  Build(smaller, "C");
  smaller.SaveDir();
  const std::string text = ReadFileBytes(File());
  EXPECT_NE(text.find("[Item7]"), std::string::npos);
  EXPECT_NE(text.find("Path="), std::string::npos);  // under Item2, now a category
  const TDir again = Reloaded();
  EXPECT_EQ(again.Items.size(), 3u);
  EXPECT_EQ(Shape(again), "Quillmoss[C] 回收站");
  EXPECT_EQ(again.Items[2].Path, "");
}

TEST_F(DirIniTest, AFileThatCannotBeWrittenRaisesAndTheTreeStays) {
  WriteFileBytes(folder.Path() / "plain", "a file, not a folder");
  const std::string blocked = (folder.Path() / "plain" / "Dir.ini").string();
  TDir tree(blocked);
  Build(tree, "A[t]");
  const std::string before = Links(tree);
  try {
    tree.SaveDir();
    FAIL() << "no error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + blocked);
  }
  EXPECT_EQ(Links(tree), before);

  // Permission bits do not stop root, so the read-only folder can only be tried by other users.
  if (::geteuid() == 0) return;
  dir.SaveDir();
  const std::string saved = ReadFileBytes(File());
  ::chmod(File().c_str(), 0444);
  ::chmod(folder.Path().c_str(), 0555);
  Build(dir, "B");
  EXPECT_THROW(dir.SaveDir(), EIniFileException);
  ::chmod(folder.Path().c_str(), 0755);
  EXPECT_EQ(ReadFileBytes(File()), saved);
}

TEST_F(DirIniTest, BrokenLinksAreCutAndLostTasksGoToTheRecycleBin) {
  LoadDamaged("Length=6\r\nDeletedCount=-4\r\n",
              Item(0, "Mine", 1, 5, 2, "Parent=3\r\n") +          // not a category, wrong links
                  Item(1, "Bin", 0, 3, 1000, "Previous=4\r\n") +  // child out of range
                  Item(2, "a", 1, 57, -1) +                       // next out of range
                  Item(3, "b", 1, -5, 3) +                        // unreachable, a task
                  Item(4, "C", 0, -1, 4) +                        // unreachable, its own child
                  Item(5, "d", 1, 2, -1, "Parent=0\r\n"));        // unreachable, a task
  EXPECT_EQ(Shape(dir), "Mine[a] Bin[b d]");
  EXPECT_TRUE(dir.Items[4].Deleted);
  EXPECT_EQ(dir.DeletedCount, 1);
}

TEST_F(DirIniTest, CyclesAndDisagreeingParentsFollowTheChains) {
  LoadDamaged("Length=7\r\n",
              Item(0, "R", 0, 1, 2) + Item(1, "Bin", 2, -1, -1) + Item(2, "A", 0, 4, 3) +
                  Item(3, "B", 0, 5, 2) +  // its child is its parent
                  Item(4, "c", 1, 6, -1, "Parent=3\r\n") + Item(5, "e", 1, 3, -1) +  // back to B
                  Item(6, "f", 1, 2, -1));                                           // back to A
  EXPECT_EQ(Shape(dir), "R[A[B e] c f] Bin");
  EXPECT_EQ(dir.DeletedCount, 0);

  // The repaired tree behaves like any other.
  dir.View = &view;
  dir.FillView();
  EXPECT_EQ(view.Nodes.size(), 7u);
  dir.DeleteCategory(Find(dir, "A"), false);
  EXPECT_EQ(Shape(dir), "R[c f e] Bin");
  dir.Compact();
  EXPECT_TRUE(TreeIsSound(dir));
  std::filesystem::remove(File());
  dir.SaveDir();
  EXPECT_EQ(LoadedAndSavedAgain(), ReadFileBytes(File()));
}

TEST_F(DirIniTest, LengthIsBoundByTheSectionsPresent) {
  LoadDamaged("Length=2000000000\r\n",
              Item(0, "R", 0, 1, 2) + Item(1, "Bin", 2, -1, -1) + Item(2, "a", 1, -1, -1));
  EXPECT_EQ(dir.Items.size(), 3u);

  // A missing section takes no slot, and a link to it ends the chain.
  LoadDamaged("Length=2000000000\r\n", Item(0, "R", 0, 1, 2) + Item(1, "Bin", 2, -1, -1) +
                                           Item(2, "a", 1, 5, -1) + Item(7, "b", 1, -1, -1) +
                                           Item(1999999999, "far", 1, -1, -1));
  EXPECT_EQ(dir.Items.size(), 5u);
  EXPECT_EQ(Shape(dir), "R[a] Bin[b far]");

  LoadDamaged("Length=9\r\n", Item(0, "Mine", 0, 1, 2) + Item(2, "a", 1, -1, -1));
  EXPECT_EQ(Shape(dir), "Mine[a] 回收站");  // the recycle bin's own section is missing
  LoadDamaged("Length=9\r\n", Item(0, "Mine", 0, 1, 2) + Item(9, "a", 1, -1, -1));
  EXPECT_EQ(Shape(dir), "Quillmoss 回收站");
}

TEST_F(DirIniTest, OnlyTasksStayInTheRecycleBin) {
  LoadDamaged("Length=6\r\n", Item(0, "R", 0, 1, -1) + Item(1, "Bin", 2, -1, 2) +
                                  Item(2, "K", 0, 4, 3) + Item(3, "x", 1, -1, -1) +
                                  Item(4, "y", 1, 5, -1) +
                                  Item(5, "Z", 2, -1, -1));  // a second recycle bin
  EXPECT_EQ(Shape(dir), "R Bin[y x]");
  EXPECT_TRUE(dir.Items[2].Deleted && dir.Items[5].Deleted);
  EXPECT_EQ(dir.DeletedCount, 2);
}

}  // namespace
}  // namespace qm::test
