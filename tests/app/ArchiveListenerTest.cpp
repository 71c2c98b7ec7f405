#include <gtest/gtest.h>

#include "app/MainArchiveListener.h"
#include "support/FakeMainView.h"

namespace quarnel::app {
namespace {

TEST(MainArchiveListener, ShowsEachFileKeepsPaintingAndPauses) {
  testing::FakeMainView view;
  MainArchiveListener listener(view);
  listener.OnAddingFile("Inbox.dbx");
  EXPECT_EQ(view.Text(Control::SkinLabel12), "Adding File Inbox.dbx");
  EXPECT_EQ(view.pumps, 2);
  EXPECT_EQ(view.pauses, std::vector<int>{10});

  listener.OnExtractingFile("Sent Items.dbx");
  EXPECT_EQ(view.Text(Control::SkinLabel12), "Unzip File Sent Items.dbx");
  EXPECT_EQ(view.pumps, 4);
  EXPECT_EQ(view.pauses, (std::vector<int>{10, 1000}));

  listener.OnWriteProgress(42);
  EXPECT_EQ(view.Text(Control::SkinLabel11), "Write File 42%");
  EXPECT_EQ(view.pumps, 5);

  listener.OnVerifying();
  EXPECT_EQ(view.Text(Control::Label1), "Checking backup file...");
  EXPECT_EQ(view.pumps, 7);
  EXPECT_EQ(view.pauses, (std::vector<int>{10, 1000}));
}

TEST(MainArchiveListener, CompletionSetsTheWrittenFlag) {
  testing::FakeMainView view;
  archive::ArchiveWritten() = 0;
  MainArchiveListener(view).OnWriteDone();
  EXPECT_EQ(archive::ArchiveWritten(), 1);
  archive::ArchiveWritten() = 0;
  PumpingArchiveListener quiet(view);
  quiet.OnAddingFile("a.dbx");
  quiet.OnWriteProgress(100);
  quiet.OnVerifying();
  EXPECT_EQ(view.pumps, 3);
  EXPECT_TRUE(view.pauses.empty());
  EXPECT_EQ(view.Text(Control::SkinLabel12), "");
  quiet.OnWriteDone();
  EXPECT_EQ(archive::ArchiveWritten(), 1);
}

}  // namespace
}  // namespace quarnel::app
