#include <gtest/gtest.h>

#include "manager/DirFixture.h"

namespace qm::test {
namespace {

TEST_F(DirTest, FirstRunShowsRootAndRecycleBinCollapsed) {
  dir.LoadDir();
  dir.View = &view;
  dir.FillView();
  EXPECT_EQ(view.Outline(), "Quillmoss/0/0 回收站/2/2");
  EXPECT_TRUE(view.Expanded.empty());
  EXPECT_EQ(view.Begun + view.Ended, 2);
  EXPECT_TRUE(TreeIsSound(dir));
  EXPECT_EQ(dir.IndexOfNode(dir.Items[1].Node), 1);
  EXPECT_EQ(dir.IndexOfNode(nullptr), -1);

  dir.View = nullptr;  // no view: only the nodes are forgotten
  dir.FillView();
  EXPECT_EQ(dir.IndexOfNode(&view.Nodes[0]), -1);
  // The test program's directory can be written, so the file goes beside it.
  const auto exe = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(DefaultDirFile(), (exe.parent_path() / "Dir.ini").string());
}

TEST_F(DirTest, ATaskDeletedTwiceIsGoneAndTheNextStartRenumbers) {
  Build(dir, "A[t1 t2] t3");
  const std::string before = Links(dir);
  for (std::int32_t bad : {-1, 0, 1, 2, 99}) dir.DeleteTask(bad);  // 2 is a category
  dir.DeleteCategory(0, true);
  dir.DeleteCategory(1, false);
  dir.Unlink(1, true);
  EXPECT_EQ(Links(dir), before);

  dir.DeleteTask(Find(dir, "t1"));
  dir.DeleteTask(Find(dir, "t3"));
  EXPECT_EQ(Shape(dir), "Quillmoss[A[t2]] 回收站[t1 t3]");
  EXPECT_TRUE(dir.Items[Find(dir, "t1")].Deleted);
  dir.DeleteTask(Find(dir, "t1"));
  dir.DeleteTask(Find(dir, "t1"));  // already out of every chain
  EXPECT_EQ(Shape(dir), "Quillmoss[A[t2]] 回收站[t3]");
  EXPECT_EQ(dir.DeletedCount, 3);
  EXPECT_TRUE(TreeIsSound(dir));

  dir.Compact();
  dir.SaveDir();
  const TDir again = Reloaded();
  ASSERT_EQ(again.Items.size(), 5u);
  EXPECT_EQ(Shape(again), "Quillmoss[A[t2]] 回收站[t3]");
  EXPECT_EQ(again.Items[3].Name + again.Items[4].Name, "t2t3");  // depth-first numbering
  EXPECT_EQ(again.DeletedCount, 0);
}

TEST_F(DirTest, DeletingACategoryMovesItsTasksDepthFirst) {
  Build(dir, "X[a Y[b Z[c]] d] e P[Q[f] g]");
  TDir yes = dir;
  dir.DeleteCategory(Find(dir, "X"), false);
  EXPECT_EQ(Shape(dir), "Quillmoss[e P[Q[f] g] a b c d] 回收站");
  EXPECT_EQ(dir.DeletedCount, 7);             // four tasks moved, three categories removed
  dir.DeleteCategory(Find(dir, "Q"), false);  // the parent is a category
  EXPECT_EQ(Shape(dir), "Quillmoss[e P[g f] a b c d] 回收站");
  EXPECT_TRUE(TreeIsSound(dir));

  yes.DeleteCategory(Find(yes, "X"), true);
  EXPECT_EQ(Shape(yes), "Quillmoss[e P[Q[f] g]] 回收站[a b c d]");
  yes.EmptyRecycleBin();
  EXPECT_EQ(Shape(yes), "Quillmoss[e P[Q[f] g]] 回收站");
  EXPECT_EQ(yes.DeletedCount, 11);
  EXPECT_TRUE(TreeIsSound(yes));
}

TEST_F(DirTest, ATaskDraggedOutOfTheRecycleBinIsBackInTheTree) {
  Build(dir, "A[B] t u");
  dir.Items[Find(dir, "t")].Expand = dir.Items[Find(dir, "u")].Expand = true;
  dir.DeleteTask(Find(dir, "t"));
  dir.View = &view;
  dir.FillView();
  const auto node = [&](const char* name) { return dir.Items[Find(dir, name)].Node; };
  const std::string before = Links(dir);
  dir.MoveItem(node("u"), node("B"));       // onto a task
  dir.MoveItem(node("回收站"), node("B"));  // a category into the recycle bin
  dir.MoveItem(node("B"), node("A"));       // into its own subtree
  dir.MoveItem(node("Quillmoss"), node("回收站"));
  dir.MoveItem(nullptr, node("t"));
  EXPECT_EQ(Links(dir), before);

  dir.MoveItem(node("A"), node("t"));
  EXPECT_EQ(Shape(dir), "Quillmoss[A[B t] u] 回收站");
  EXPECT_EQ(view.Outline(), "Quillmoss/0/0[A/0/0[B/0/0 t/1/1] u/1/1] 回收站/2/2");
  // t keeps its deletion mark, which keeps its node from being expanded.
  EXPECT_TRUE(dir.Items[Find(dir, "t")].Deleted);
  EXPECT_EQ(view.Expanded, (std::vector<std::string>{"A", "u"}));
  EXPECT_TRUE(TreeIsSound(dir));
}

TEST_F(DirTest, RenamingTrimsAndRefusesBlankNames) {
  Build(dir, "A");
  std::string text = " \t ";
  EXPECT_FALSE(dir.RenameItem(2, text));
  EXPECT_EQ(text, "A");
  text = "\t New\r\nName \x01";
  EXPECT_TRUE(dir.RenameItem(2, text));
  EXPECT_EQ(text, "New  Name");
  EXPECT_EQ(dir.Items[2].Name, text);
  text = "x";
  EXPECT_FALSE(dir.RenameItem(7, text));

  // The root and the recycle bin may be renamed, until the next compaction.
  text = "Mine";
  EXPECT_TRUE(dir.RenameItem(0, text));
  text = "Bin";
  EXPECT_TRUE(dir.RenameItem(1, text));
  dir.DeleteCategory(2, true);
  dir.Compact();
  EXPECT_EQ(Shape(dir), "Quillmoss 回收站");
}

TEST_F(DirTest, ADeepTreeIsWalkedWithoutRecursion) {
  std::int32_t parent = RootItem;
  TDirItem category;
  for (int i = 0; i < 200000; ++i) parent = dir.AddItem(parent, category);
  dir.View = &view;
  dir.FillView();
  EXPECT_EQ(view.Nodes.size(), 200002u);
  dir.DeleteCategory(2, false);
  EXPECT_EQ(dir.DeletedCount, 200000);
  dir.Compact();
  EXPECT_EQ(dir.Items.size(), 2u);
}

}  // namespace
}  // namespace qm::test
