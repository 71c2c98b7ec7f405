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

class ImageTreeTest : public ::testing::Test {
 protected:
  ImageTreeTest() : tree_(events_) {
    source_ = Join(dir_.path(), "Mail");
    testing::MakeFolder(source_);
    testing::MakeFolder(Join(source_, "Local Folders"));
    testing::MakePatternFile(Join(source_, "Local Folders/Inbox.dbx"), 3000, 1);
    testing::MakePatternFile(Join(source_, "b.txt"), 5, 2);
    testing::MakePatternFile(Join(source_, "A.txt"), 7, 3);
  }

  testing::TempFolder dir_;
  std::string source_;
  testing::RecordingListener events_;
  ImageTree tree_;
};

TEST_F(ImageTreeTest, AddingAFolderReportsEachFolderAndFileAndCountsThem) {
  tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  EXPECT_EQ(Paths(events_.added),
            (std::vector<std::string>{"D \\Mail", "F \\Mail\\A.txt", "F \\Mail\\b.txt", "D \\Mail\\Local Folders",
                                      "F \\Mail\\Local Folders\\Inbox.dbx"}));
  EXPECT_EQ(events_.added[4].ParentPath, "\\Mail\\Local Folders");
  EXPECT_EQ(events_.added[4].Size, 3000);
  EXPECT_EQ(events_.added[4].SourcePath, source_ + "\\Local Folders\\Inbox.dbx");
  EXPECT_EQ(events_.added[0].ParentPath, "\\");
  EXPECT_EQ(tree_.FileCount(), 3);
  EXPECT_EQ(tree_.FolderCount(), 2);

  // Added again into the same place: folders merge, every file asks before it is replaced.
  events_.added.clear();
  tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  EXPECT_EQ(events_.queries.size(), 3u);
  EXPECT_TRUE(events_.added.empty());
  EXPECT_EQ(tree_.FileCount(), 3);

  // Missing sources and unusable names add nothing; missing folders on the way are made.
  tree_.AddFile(Join(dir_.path(), "gone.txt"), "\\gone.txt");
  tree_.AddFolder(Join(dir_.path(), "gone") + "\\*.*", "\\gone");
  tree_.AddFile(Join(source_, "b.txt"), "\\bad:name.txt");
  EXPECT_EQ(tree_.FileCount(), 3);
  tree_.AddFile(Join(source_, "b.txt"), "\\New\\Deeper\\b.txt");
  EXPECT_NE(tree_.Find("\\new\\DEEPER\\B.TXT"), nullptr);  // names compare without case
  EXPECT_EQ(tree_.FolderCount(), 4);
}

TEST_F(ImageTreeTest, ATakenPathAsksAndOnlyOkReplaces) {
  std::string other = Join(dir_.path(), "other.txt");
  testing::MakePatternFile(other, 99, 4);
  tree_.AddFile(Join(source_, "b.txt"), "\\b.txt");
  tree_.AddFile(other, "\\B.TXT");
  ASSERT_EQ(events_.queries, std::vector<std::string>{"\\b.txt <- " + other});
  EXPECT_EQ(tree_.Find("\\b.txt")->source, Join(source_, "b.txt"));
  events_.replace = true;
  tree_.AddFile(other, "\\b.txt");
  EXPECT_EQ(tree_.Find("\\b.txt")->source, other);
  EXPECT_EQ(tree_.Find("\\b.txt")->size, 99u);
  EXPECT_EQ(tree_.FileCount(), 1);
  // A folder is never replaced by a file.
  tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  tree_.AddFile(other, "\\Mail");
  EXPECT_TRUE(tree_.Find("\\Mail")->isFolder);
}

TEST_F(ImageTreeTest, RenamesCheckTheNameAndReportFoldersBelow) {
  tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  EXPECT_FALSE(tree_.RenameFolder("\\", "Root"));
  EXPECT_FALSE(tree_.RenameFolder("\\Mail\\A.txt", "C.txt"));  // a file
  EXPECT_FALSE(tree_.RenameFile("\\Mail\\A.txt", "b.TXT"));    // taken
  EXPECT_FALSE(tree_.RenameFile("\\Mail\\A.txt", "a?.txt"));
  EXPECT_FALSE(tree_.RenameFile("\\Mail\\A.txt", ""));
  EXPECT_TRUE(events_.renamed.empty());
  EXPECT_TRUE(tree_.RenameFile("\\Mail\\A.txt", "a.txt"));  // only the case changes
  EXPECT_EQ(events_.renamed.back().OldImagePath, "\\Mail\\A.txt");
  EXPECT_EQ(events_.renamed.back().ImagePath, "\\Mail\\a.txt");

  events_.renamed.clear();
  EXPECT_TRUE(tree_.RenameFolder("\\Mail", "Post"));
  ASSERT_EQ(events_.renamed.size(), 2u);
  EXPECT_EQ(events_.renamed[0].OldImagePath, "\\Mail");
  EXPECT_EQ(events_.renamed[1].OldImagePath, "\\Mail\\Local Folders");
  EXPECT_EQ(events_.renamed[1].ImagePath, "\\Post\\Local Folders");
  EXPECT_NE(tree_.Find("\\Post\\Local Folders\\Inbox.dbx"), nullptr);
  EXPECT_EQ(tree_.Find("\\Mail"), nullptr);
}

TEST_F(ImageTreeTest, RemoveListAndClear) {
  tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  tree_.AddFile(Join(source_, "b.txt"), "\\top.txt");
  tree_.ListFolder("\\Mail");
  EXPECT_EQ(Paths(events_.listed),
            (std::vector<std::string>{"F \\Mail\\A.txt", "F \\Mail\\b.txt", "D \\Mail\\Local Folders"}));
  EXPECT_FALSE(tree_.Remove("\\"));
  EXPECT_FALSE(tree_.Remove("\\nothing"));
  EXPECT_TRUE(tree_.Remove("\\Mail\\Local Folders"));
  EXPECT_EQ(Paths(events_.removed), std::vector<std::string>{"D \\Mail\\Local Folders"});
  EXPECT_EQ(tree_.FileCount(), 3);
  EXPECT_EQ(tree_.FolderCount(), 1);
  tree_.Clear();
  EXPECT_EQ(events_.cleared, 1);
  EXPECT_EQ(tree_.FileCount(), 0);
  EXPECT_EQ(tree_.FolderCount(), 0);
  EXPECT_TRUE(tree_.RootNode().children.empty());
}

}  // namespace
}  // namespace quarnel::disc
