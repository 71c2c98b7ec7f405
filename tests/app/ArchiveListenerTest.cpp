#include <gtest/gtest.h>

#include "app/MainArchiveListener.h"
#include "support/FakeMainView.h"

namespace quarnel::app {
namespace {

// The window's listener names each file, keeps the window painting and pauses as the
// program always did; the quiet one only paints. Both note that the archive was written.
TEST(MainArchiveListener, ShowsEachFileKeepsPaintingPausesAndNotesTheWrite) {
  testing::FakeMainView view;
  MainArchiveListener listener(view);
  listener.OnAddingFile("Inbox.dbx");
  EXPECT_EQ(view.Text(Control::SkinLabel12), "Adding File Inbox.dbx");
  listener.OnExtractingFile("Gel\xF6schte Objekte.dbx");
  EXPECT_EQ(view.Text(Control::SkinLabel12), "Unzip File Gel\xF6schte Objekte.dbx");
  listener.OnWriteProgress(42);
  EXPECT_EQ(view.Text(Control::SkinLabel11), "Write File 42%");
  listener.OnVerifying();
  EXPECT_EQ(view.Text(Control::Label1), "Checking backup file...");
  EXPECT_EQ(view.pumps, 7);
  EXPECT_EQ(view.pauses, (std::vector<int>{10, 1000}));
  archive::ArchiveWritten() = 0;
  listener.OnWriteDone();
  EXPECT_EQ(archive::ArchiveWritten(), 1);

  testing::FakeMainView quietView;
  PumpingArchiveListener quiet(quietView);
  archive::ArchiveWritten() = 0;
  quiet.OnAddingFile("a.dbx");
  quiet.OnWriteProgress(100);
  quiet.OnVerifying();
  quiet.OnWriteDone();
  EXPECT_EQ(quietView.pumps, 3);
  EXPECT_TRUE(quietView.pauses.empty());
  EXPECT_EQ(quietView.Text(Control::SkinLabel12), "");
  EXPECT_EQ(archive::ArchiveWritten(), 1);
}

}  // namespace
}  // namespace quarnel::app
