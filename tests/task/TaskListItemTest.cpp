#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "support/RecordingWindow.h"
#include "task/Task.h"

namespace qm {
namespace {

constexpr TDateTime kSecond = 1.0 / 86400.0;

class TaskListItemTest : public ::testing::Test {
 protected:
  TaskListItemTest() {
    task_.Name = "站点";
    task_.SetStartUrl("http://h/");
  }
  std::vector<std::string> Row(int row = 7) { return window_.LastRow(row).SubItems; }

  test::ScopedRecordingWindow window_;
  TTask task_;
};

TEST_F(TaskListItemTest, TableNotInMemoryShowsWaitingAndQuestionMarks) {
  task_.State = Stopped;
  task_.Loaded = false;
  task_.SavedCount = 5;
  task_.ShowInListItem(7, 45000.0);
  const TListRowTexts row = window_.LastRow(7);
  EXPECT_EQ(row.Caption, "站点");
  EXPECT_EQ(row.ImageIndex, 0);
  EXPECT_EQ(row.SubItems,
            (std::vector<std::string>{"等待", "http://h/", "0:00:00", "?/?", "?", "?"}));
  EXPECT_EQ(task_.ListItem, 7);

  task_.RunMode = RunHold;
  task_.RefreshListItem(45000.0);
  EXPECT_EQ(Row()[0], "待令");
}

TEST_F(TaskListItemTest, LoadedTaskShowsProgressSizeAndCount) {
  task_.Loaded = true;
  task_.SavedCount = 3;
  task_.DownloadedCount = 2;
  task_.ErrorCount = 4;
  task_.Total = 10;
  task_.SavedBytes = 1025;
  task_.RunTime = 3723 * kSecond;  // 1:02:03
  task_.ShowInListItem(7, 45000.0);
  EXPECT_EQ(Row(),
            (std::vector<std::string>{"停止", "http://h/", "1:02:03", "5/10", "1.00KB", "2"}));

  // Only the low 32 bits of the byte count are shown, as a signed number.
  task_.SavedBytes = (std::int64_t{1} << 32) + 1024;
  task_.RefreshListItem(45000.0);
  EXPECT_EQ(Row()[4], "1024B");
  task_.SavedBytes = 3000000000LL;
  task_.RefreshListItem(45000.0);
  EXPECT_EQ(Row()[4], "-1294967296B");
}

TEST_F(TaskListItemTest, StateWords) {
  task_.Loaded = true;
  const std::pair<int, const char*> words[] = {{Running, "运行"}, {Paused, "暂停"},
                                               {Stopped, "停止"}, {Complete, "完成"},
                                               {7, "未知状态"},   {-1, "未知状态"}};
  for (const auto& [state, word] : words) {
    task_.State = state;
    task_.ShowInListItem(7, task_.RunStart);
    EXPECT_EQ(Row()[0], word) << state;
  }
  // Hold changes only the word of a stopped task.
  task_.RunMode = RunHold;
  task_.State = Running;
  task_.RefreshListItem(task_.RunStart);
  EXPECT_EQ(Row()[0], "运行");
  task_.State = Stopped;
  task_.RefreshListItem(task_.RunStart);
  EXPECT_EQ(Row()[0], "待令");
}

TEST_F(TaskListItemTest, RunningTimeGrowsOnlyWhileRunning) {
  task_.Loaded = true;
  task_.RunTime = 60 * kSecond;
  task_.RunStart = 45000.25;
  task_.State = Running;
  task_.ShowInListItem(7, 45000.25 + 30 * kSecond);
  EXPECT_EQ(Row()[2], "0:01:30");
  task_.RefreshListItem(45000.25 + 3600 * kSecond);
  EXPECT_EQ(Row()[2], "1:01:00");

  // Paused after 90 s: the column stays where it was, whatever the clock says.
  task_.RunTime = 90 * kSecond;
  task_.State = Paused;
  task_.RefreshListItem(45000.25 + 7200 * kSecond);
  EXPECT_EQ(Row()[2], "0:01:30");
  task_.RefreshListItem(45001.0);
  EXPECT_EQ(Row()[2], "0:01:30");
}

TEST_F(TaskListItemTest, RefreshWithoutRowTouchesNoRow) {
  task_.RefreshListItem();
  task_.ShowInListItem(3);
  task_.RefreshListItem();
  EXPECT_TRUE(window_.LastRow(7).SubItems.empty());
  EXPECT_EQ(window_.LastRow(3).SubItems.size(), 6u);
}

}  // namespace
}  // namespace qm
