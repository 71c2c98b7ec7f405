#pragma once
// Reading Outlook Express mail-folder files (.dbx): the file header, the index
// tree, the descriptions of messages and folders, and the chained blocks of a
// message's text.
//
// Everything read from the file is checked before it is used: every object must
// name its own offset (its marker) and lie within the file, the index is walked
// to a fixed depth and no further than the file has room for nodes, and a chain
// of text blocks that comes back on itself or grows longer than the file is
// damaged. A damaged part costs only the messages it holds; memory use is fixed
// whatever the file's size or content.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mailstore/RandomInput.h"

namespace quarnel::mailstore {

inline constexpr std::uint32_t kDbxHeaderSize = 0x24BC;

enum class DbxKind {
  kNotDbx,    // no mail-folder signature (or too short for one)
  kMessages,  // a mail or news folder
  kFolders,   // Folders.dbx: the names and nesting of the folders
  kOther,     // the other files of the store (Pop3uidl.dbx, Offline.dbx)
};

struct DbxMessage {
  std::uint32_t infoOffset = 0;  // where its description lies
  std::uint32_t firstBlock = 0;  // 0: the folder holds no text for it (headers only)
  std::uint64_t sentTime = 0;    // Win32 FILETIME (UTC), 0 when unknown
  std::uint64_t receivedTime = 0;
  std::string subject;
  std::string senderName;
  std::string senderAddress;
};

struct DbxFolder {
  std::uint32_t id = 0;
  std::uint32_t parentId = 0;  // 0xFFFFFFFF for the root
  std::string name;
  std::string fileName;  // "" for folders that hold no messages of their own
};

// What a walk of the index met: entries it handed on, and entries it could not
// (in parts of the index that cannot be read, or whose description is damaged).
struct IndexCounts {
  std::uint64_t found = 0;
  std::uint64_t unreadable = 0;
};

enum class MessageRead { kComplete, kDamaged, kStopped };

// Receives a message's text in order; false stops the reading.
using ByteSink = std::function<bool(const char *data, std::size_t size)>;

class DbxFile {
 public:
  explicit DbxFile(RandomInput &input);

  DbxKind Kind() const { return kind_; }
  // The number of messages the header states (0 when it is beyond belief).
  std::uint64_t StatedMessages() const;

  // Every message description the index leads to, in index order; visit
  // returning false ends the walk. Entries the header states but the index no
  // longer reaches count as unreadable.
  IndexCounts ForEachMessage(const std::function<bool(const DbxMessage &)> &visit);

  // The message's text to the sink as stored. kDamaged (with the reason) when
  // its chain of blocks is broken; the sink may then have had part of it. A
  // null sink only checks.
  MessageRead ReadMessage(const DbxMessage &message, const ByteSink &sink, std::string *why = nullptr);

  // The folders a Folders.dbx describes, each once, in index order.
  std::vector<DbxFolder> Folders(IndexCounts *counts = nullptr);

 private:
  struct Indexed;
  enum class Visit { kNext, kStop };
  IndexCounts WalkTree(int tree, const std::function<Visit(std::uint32_t value)> &visit);
  bool ReadIndexed(std::uint32_t offset, Indexed *info);
  std::uint32_t HeaderValue(std::uint32_t at) const;

  RandomInput &input_;
  std::uint64_t size_;
  DbxKind kind_ = DbxKind::kNotDbx;
  std::vector<unsigned char> header_;
  std::vector<unsigned char> body_;  // the description being read; bounded by kMaxInfoBody
  std::vector<char> piece_;          // a piece of a message's text on its way to the sink
};

}  // namespace quarnel::mailstore
