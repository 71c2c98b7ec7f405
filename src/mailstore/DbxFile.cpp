#include "mailstore/DbxFile.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace quarnel::mailstore {
namespace {

constexpr unsigned char kSignature[4] = {0xCF, 0xAD, 0x12, 0xFE};
constexpr std::uint32_t kMessageFile = 0x6F74FDC5;
constexpr std::uint32_t kFolderFile = 0x6F74FDC6;
constexpr std::uint32_t kEntryCounts = 0xC4;  // one per tree
constexpr std::uint32_t kTreeRoots = 0xE4;
constexpr int kFolderTrees = 3;
constexpr std::size_t kMaxFolders = 100000;  // far more than a store holds; bounds memory

// Tree nodes: a header, then up to 0x33 entries of value, child node, values
// under it.
constexpr std::uint32_t kNodeHeader = 0x18;
constexpr std::uint32_t kNodeEntry = 12;
constexpr std::uint32_t kNodeSize = 0x27C;
constexpr unsigned kMaxNodeEntries = 0x33;
// A full node holds 51 entries, so six levels already index more than a 2 GiB
// file holds; anything deeper is a loop or damage.
constexpr int kMaxDepth = 32;

// Descriptions (indexed info objects): a header, an index field, a data field.
constexpr std::uint32_t kInfoHeader = 12;
constexpr std::uint32_t kMaxInfoBody = 256 * 1024;

// Text blocks: a header, then the text segment.
constexpr std::uint32_t kBlockHeader = 16;
constexpr std::uint32_t kBlockRoom = 0x200;
constexpr std::size_t kTextPiece = 64 * 1024;

// The indexes of a message description and of a folder description.
enum MessageIndex {
  kSent = 0x02,
  kText = 0x04,
  kSubject = 0x08,
  kSenderName = 0x0D,
  kSenderAddress = 0x0E,
  kReceived = 0x12
};
enum FolderIndex { kFolderId = 0x00, kParentId = 0x01, kFolderName = 0x02, kFolderFileName = 0x03 };

std::uint32_t Le32(const unsigned char *p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

// A description in body_: count index entries, then the data field they point
// into.
struct DbxFile::Indexed {
  const unsigned char *body = nullptr;
  std::size_t length = 0;
  std::size_t count = 0;
  bool marked = false;  // it names its own offset

  // The raw 3-byte value of the index and whether it is the value itself.
  bool Find(int id, std::uint32_t *value, bool *direct) const {
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char *e = body + 4 * i;
      if ((e[0] & 0x7F) != id) continue;
      *direct = (e[0] & 0x80) != 0;
      *value = e[1] | (e[2] << 8) | (e[3] << 16);
      return true;
    }
    return false;
  }
  // The bytes of an index stored in the data field, up to the field's end.
  const unsigned char *Data(int id, std::size_t *available) const {
    std::uint32_t at;
    bool direct;
    if (!Find(id, &at, &direct) || direct) return nullptr;
    const std::size_t start = 4 * count + at;
    if (start >= length) return nullptr;
    *available = length - start;
    return body + start;
  }
  std::uint32_t Int(int id, std::uint32_t fallback) const {
    std::uint32_t value;
    bool direct;
    if (!Find(id, &value, &direct)) return fallback;
    if (direct) return value;
    std::size_t available = 0;
    const unsigned char *p = Data(id, &available);
    return p && available >= 4 ? Le32(p) : fallback;
  }
  std::uint64_t FileTime(int id) const {
    std::size_t available = 0;
    const unsigned char *p = Data(id, &available);
    if (!p || available < 8) return 0;
    return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
  }
  std::string Text(int id) const {
    std::size_t available = 0;
    const char *p = reinterpret_cast<const char *>(Data(id, &available));
    if (!p) return {};
    return std::string(p, ::strnlen(p, available));
  }
};

DbxFile::DbxFile(RandomInput &input) : input_(input), size_(input.Size()) {
  // Only the part of the header in use is kept: the signature up to the tree
  // roots.
  header_.resize(kTreeRoots + 4 * kFolderTrees);
  if (!input_.ReadAt(0, header_.data(), header_.size()) || std::memcmp(header_.data(), kSignature, 4) != 0) {
    header_.clear();
    return;
  }
  const std::uint32_t type = Le32(header_.data() + 4);
  kind_ = type == kMessageFile ? DbxKind::kMessages : type == kFolderFile ? DbxKind::kFolders : DbxKind::kOther;
}

std::uint32_t DbxFile::HeaderValue(std::uint32_t at) const { return header_.empty() ? 0 : Le32(&header_[at]); }

std::uint64_t DbxFile::StatedMessages() const {
  const std::uint64_t stated = HeaderValue(kEntryCounts);
  // Every message needs a description of at least its header's size.
  return size_ > kDbxHeaderSize && stated <= (size_ - kDbxHeaderSize) / kInfoHeader ? stated : 0;
}

IndexCounts DbxFile::WalkTree(int tree, const std::function<Visit(std::uint32_t value)> &visit) {
  IndexCounts counts;
  struct Frame {
    std::uint32_t values[kMaxNodeEntries], children[kMaxNodeEntries], below[kMaxNodeEntries];
    unsigned entries = 0;
    int next = -1;  // -1: the node's first child first
    std::uint32_t offset = 0, firstChild = 0, firstBelow = 0;
  };
  std::vector<Frame> stack;
  stack.reserve(kMaxDepth);
  // Nodes are distinct objects of the file: more visits than it has room for
  // mean that nodes are shared, which the ancestor check alone does not catch.
  std::uint64_t visitsLeft = size_ / kNodeSize + 1;
  unsigned char node[kNodeSize];

  auto enter = [&](std::uint32_t offset, std::uint32_t stated) {
    if (offset == 0) return;
    // A node that leads back to one of its own ancestors would be walked
    // without end.
    const bool looping =
        std::any_of(stack.begin(), stack.end(), [offset](const Frame &f) { return f.offset == offset; });
    const bool readable = !looping && stack.size() < kMaxDepth && visitsLeft > 0 &&
                          input_.ReadAt(offset, node, kNodeHeader) && Le32(node) == offset;
    const unsigned entries = readable ? node[0x11] : 0;
    if (!readable || entries > kMaxNodeEntries ||
        !input_.ReadAt(offset + kNodeHeader, node + kNodeHeader, entries * kNodeEntry)) {
      counts.unreadable += stated;
      return;
    }
    --visitsLeft;
    Frame &f = stack.emplace_back();
    f.entries = entries;
    f.offset = offset;
    f.firstChild = Le32(node + 8);
    f.firstBelow = Le32(node + 0x14);
    for (unsigned i = 0; i < entries; ++i) {
      const unsigned char *e = node + kNodeHeader + i * kNodeEntry;
      f.values[i] = Le32(e);
      f.children[i] = Le32(e + 4);
      f.below[i] = Le32(e + 8);
    }
  };

  const std::uint64_t stated = tree == 0 && kind_ == DbxKind::kMessages ? StatedMessages() : 0;
  enter(HeaderValue(kTreeRoots + 4 * tree), static_cast<std::uint32_t>(stated));
  while (!stack.empty()) {
    Frame &f = stack.back();
    if (f.next == -1) {
      f.next = 0;
      enter(f.firstChild, f.firstBelow);
      continue;
    }
    if (static_cast<unsigned>(f.next) >= f.entries) {
      stack.pop_back();
      continue;
    }
    const unsigned i = static_cast<unsigned>(f.next++);
    const std::uint32_t child = f.children[i], below = f.below[i];
    ++counts.found;
    if (visit(f.values[i]) == Visit::kStop) return counts;
    enter(child, below);
  }
  if (counts.found + counts.unreadable < stated) counts.unreadable = stated - counts.found;
  // What damaged nodes state is not to be believed beyond what the file has
  // room for.
  counts.unreadable = std::min<std::uint64_t>(counts.unreadable, size_ / kInfoHeader);
  return counts;
}

bool DbxFile::ReadIndexed(std::uint32_t offset, Indexed *info) {
  unsigned char head[kInfoHeader];
  if (offset == 0 || !input_.ReadAt(offset, head, sizeof head)) return false;
  info->marked = Le32(head) == offset;
  const std::uint32_t length = Le32(head + 4);
  const unsigned count = head[10];
  if (length > kMaxInfoBody || 4u * count > length) return false;
  body_.resize(length);
  if (!input_.ReadAt(static_cast<std::uint64_t>(offset) + kInfoHeader, body_.data(), length)) return false;
  info->body = body_.data();
  info->length = length;
  info->count = count;
  return true;
}

IndexCounts DbxFile::ForEachMessage(const std::function<bool(const DbxMessage &)> &visit) {
  if (kind_ != DbxKind::kMessages) return {};
  std::uint64_t damaged = 0;
  IndexCounts counts = WalkTree(0, [&](std::uint32_t value) {
    Indexed info;
    const std::uint32_t firstBlock = ReadIndexed(value, &info) ? info.Int(kText, 0) : 0;
    // A description whose marker was hit is still used when what it points to
    // checks out (the chain of blocks); one that then points nowhere is
    // damaged, not headers only.
    if (!info.body || (!info.marked && firstBlock == 0)) {
      ++damaged;
      return Visit::kNext;
    }
    DbxMessage m;
    m.infoOffset = value;
    m.firstBlock = firstBlock;
    m.sentTime = info.FileTime(kSent);
    m.receivedTime = info.FileTime(kReceived);
    m.subject = info.Text(kSubject);
    m.senderName = info.Text(kSenderName);
    m.senderAddress = info.Text(kSenderAddress);
    return visit(m) ? Visit::kNext : Visit::kStop;
  });
  counts.found -= damaged;
  counts.unreadable += damaged;
  return counts;
}

MessageRead DbxFile::ReadMessage(const DbxMessage &message, const ByteSink &sink, std::string *why) {
  auto damaged = [&](const char *reason) {
    if (why) *why = reason;
    return MessageRead::kDamaged;
  };
  std::uint64_t total = 0;
  // Brent's way of finding a loop in fixed memory: remember one block, and a
  // new one at every power of two of steps; a chain that meets the remembered
  // block has come round.
  std::uint32_t remembered = 0;
  std::uint64_t steps = 0, nextMark = 1;
  for (std::uint32_t at = message.firstBlock; at != 0;) {
    if (at == remembered) return damaged("its chain of blocks loops");
    unsigned char head[kBlockHeader];
    if (!input_.ReadAt(at, head, sizeof head)) return damaged("a block lies beyond the end of the file");
    const std::uint32_t room = Le32(head + 4), used = Le32(head + 8), next = Le32(head + 12);
    // A block whose marker was hit is still taken when it has the size every
    // block has.
    if (Le32(head) != at && room != kBlockRoom) return damaged("a block is not where its chain points");
    if (used > room) return damaged("a block states more text than it has room for");
    total += used;
    if (total > size_) return damaged("its chain of blocks is longer than the file");
    for (std::uint64_t from = static_cast<std::uint64_t>(at) + kBlockHeader, left = used; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kTextPiece));
      if (piece_.empty()) piece_.resize(kTextPiece);
      if (!input_.ReadAt(from, piece_.data(), n)) return damaged("a block lies beyond the end of the file");
      if (sink && !sink(piece_.data(), n)) return MessageRead::kStopped;
      from += n;
      left -= n;
    }
    if (++steps == nextMark) {
      remembered = at;
      nextMark *= 2;
      steps = 0;
    }
    at = next;
  }
  return MessageRead::kComplete;
}

std::vector<DbxFolder> DbxFile::Folders(IndexCounts *counts) {
  std::vector<DbxFolder> folders;
  IndexCounts all;
  if (kind_ != DbxKind::kFolders) {
    if (counts) *counts = all;
    return folders;
  }
  std::unordered_set<std::uint32_t> seen;
  for (int tree = 0; tree < kFolderTrees; ++tree) {
    IndexCounts c = WalkTree(tree, [&](std::uint32_t value) {
      Indexed info;
      if (!ReadIndexed(value, &info) || !info.marked) {
        ++all.unreadable;
        return Visit::kNext;
      }
      DbxFolder f;
      f.id = info.Int(kFolderId, 0);
      f.parentId = info.Int(kParentId, 0xFFFFFFFF);
      f.name = info.Text(kFolderName);
      f.fileName = info.Text(kFolderFileName);
      if (seen.insert(f.id).second) folders.push_back(std::move(f));
      return folders.size() < kMaxFolders ? Visit::kNext : Visit::kStop;
    });
    all.unreadable += c.unreadable;
  }
  all.found = folders.size();
  if (counts) *counts = all;
  return folders;
}

}  // namespace quarnel::mailstore
