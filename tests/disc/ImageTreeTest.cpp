// The image root: adding, replacing, renaming, removing, listing and clearing, with the
// events each raises.
#include <gtest/gtest.h>

#include "DiscTestSupport.h"
#include "disc/ImageTree.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;

std::vector<std::string> Paths(const std::vector<ImageItem>& items) {
  std::vector<std::string> paths;
  for (const ImageItem& item : items) paths.push_back((item.IsFolder ? "D " : "F ") + item.ImagePath);
  return paths;
}

// A mail folder with a sub-folder, added to the image as "\Mail".
class ImageTreeTest : public ::testing::Test {
 protected:
  ImageTreeTest() : tree_(events_) {
    testing::MakeFolder(source_);
    testing::MakeFolder(Join(source_, "Gel\xF6schte Objekte"));
    testing::MakePatternFile(Join(Join(source_, "Gel\xF6schte Objekte"), "Old;2005.dbx"), 3000, 1);
    testing::MakePatternFile(Join(source_, "b.txt"), 5, 2);
    testing::MakePatternFile(Join(source_, "A.txt"), 7, 3);
    tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  }

  testing::TempFolder dir_;
  std::string source_ = Join(dir_.path(), "Mail");
  testing::RecordingListener events_;
  ImageTree tree_;
};

TEST_F(ImageTreeTest, AddingReportsEachItemMergesFoldersAndAsksBeforeReplacingAFile) {
  EXPECT_EQ(Paths(events_.added), (std::vector<std::string>{"D \\Mail", "F \\Mail\\A.txt", "F \\Mail\\b.txt",
                                                            "D \\Mail\\Gel\xF6schte Objekte",
                                                            "F \\Mail\\Gel\xF6schte Objekte\\Old;2005.dbx"}));
  EXPECT_EQ(events_.added[0].ParentPath, "\\");
  EXPECT_EQ(events_.added[4].ParentPath, "\\Mail\\Gel\xF6schte Objekte");
  EXPECT_EQ(events_.added[4].Size, 3000);
  EXPECT_EQ(events_.added[4].SourcePath, source_ + "\\Gel\xF6schte Objekte\\Old;2005.dbx");
  EXPECT_EQ(tree_.FileCount(), 3);
  EXPECT_EQ(tree_.FolderCount(), 2);

  events_.added.clear();
  tree_.AddFolder(source_ + "\\*.*", "\\mail");  // the same place: every file asks, Cancel keeps it
  EXPECT_EQ(events_.queries.size(), 3u);
  EXPECT_TRUE(events_.added.empty());
  events_.replace = true;
  tree_.AddFile(Join(source_, "b.txt"), "\\MAIL\\a.TXT");
  EXPECT_EQ(tree_.Find("\\Mail\\A.txt")->size, 5u);
  tree_.AddFile(Join(source_, "b.txt"), "\\Mail\\Gel\xF6schte Objekte");  // a folder is never replaced by a file
  EXPECT_TRUE(tree_.Find("\\Mail\\Gel\xF6schte Objekte")->isFolder);
  EXPECT_EQ(tree_.FileCount(), 3);

  // Missing sources and unusable names add nothing; missing folders on the way are made.
  tree_.AddFile(Join(dir_.path(), "gone.txt"), "\\gone.txt");
  tree_.AddFolder(Join(dir_.path(), "gone") + "\\*.*", "\\gone");
  tree_.AddFile(Join(source_, "b.txt"), "\\bad:name.txt");
  EXPECT_EQ(tree_.FileCount(), 3);
  tree_.AddFile(Join(source_, "b.txt"), "\\New\\Deeper\\a;b;c.txt");
  EXPECT_NE(tree_.Find("\\new\\DEEPER\\A;B;C.TXT"), nullptr);
  EXPECT_EQ(tree_.FolderCount(), 4);
}

TEST_F(ImageTreeTest, RenamesRefuseTakenAndUnusableNamesAndReportTheFoldersBelow) {
  const struct {
    const char *path, *name;
    bool folder;
  } refused[] = {{"\\", "Root", true},
                 {"\\Mail\\A.txt", "C.txt", true},
                 {"\\Mail", "Post", false},
                 {"\\Mail\\A.txt", "b.TXT", false},
                 {"\\Mail\\A.txt", "a?.txt", false},
                 {"\\Mail\\A.txt", "", false},
                 {"\\Mail\\gone.txt", "c.txt", false}};
  for (const auto& r : refused) {
    EXPECT_FALSE(r.folder ? tree_.RenameFolder(r.path, r.name) : tree_.RenameFile(r.path, r.name)) << r.path << r.name;
  }
  EXPECT_TRUE(events_.renamed.empty());
  EXPECT_TRUE(tree_.RenameFile("\\Mail\\A.txt", "a.txt"));  // only the case changes
  EXPECT_EQ(events_.renamed.back().OldImagePath, "\\Mail\\A.txt");
  EXPECT_EQ(events_.renamed.back().ImagePath, "\\Mail\\a.txt");

  events_.renamed.clear();
  EXPECT_TRUE(tree_.RenameFolder("\\Mail", "Post 2005"));
  ASSERT_EQ(events_.renamed.size(), 2u);
  EXPECT_EQ(events_.renamed[1].OldImagePath, "\\Mail\\Gel\xF6schte Objekte");
  EXPECT_EQ(events_.renamed[1].ImagePath, "\\Post 2005\\Gel\xF6schte Objekte");
  EXPECT_NE(tree_.Find("\\Post 2005\\Gel\xF6schte Objekte\\Old;2005.dbx"), nullptr);
  EXPECT_EQ(tree_.Find("\\Mail"), nullptr);
}

TEST_F(ImageTreeTest, ListingRemovingAndClearing) {
  tree_.ListFolder("\\Mail");
  EXPECT_EQ(Paths(events_.listed),
            (std::vector<std::string>{"F \\Mail\\A.txt", "F \\Mail\\b.txt", "D \\Mail\\Gel\xF6schte Objekte"}));
  EXPECT_FALSE(tree_.Remove("\\"));
  EXPECT_FALSE(tree_.Remove("\\nothing"));
  EXPECT_TRUE(tree_.Remove("\\Mail\\Gel\xF6schte Objekte"));
  EXPECT_EQ(Paths(events_.removed), std::vector<std::string>{"D \\Mail\\Gel\xF6schte Objekte"});
  EXPECT_EQ(tree_.FileCount(), 2);
  EXPECT_EQ(tree_.FolderCount(), 1);
  tree_.Clear();
  EXPECT_EQ(events_.cleared, 1);
  EXPECT_EQ(tree_.FileCount() + tree_.FolderCount(), 0);
  EXPECT_TRUE(tree_.RootNode().children.empty());
}

}  // namespace
}  // namespace quarnel::disc
