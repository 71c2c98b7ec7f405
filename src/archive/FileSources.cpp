#include "archive/FileSources.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "archive/BlockDeflate.h"
#include "platform/Services.h"

namespace quarnel::archive::detail {

void WriteProgress::Add(std::uint64_t bytes) {
  done_ += bytes;
  if (total_ == 0) return;
  // 100 is kept for the end: a file may have grown since it was measured.
  int percent = static_cast<int>(done_ >= total_ ? 99 : done_ * 100 / total_);
  if (percent > 99) percent = 99;
  Report(percent);
}

void WriteProgress::Report(int percent) {
  if (percent <= reported_) return;
  reported_ = percent;
  listener_.OnWriteProgress(percent);
}

namespace {

// What both sources share: the file, its announcement, errors for libzip.
struct SourceState {
  explicit SourceState(const AppendedFile& appended) : file(appended) { zip_error_init(&error); }
  virtual ~SourceState() { zip_error_fini(&error); }

  zip_int64_t Failed(int zipError) {
    const int cause = errno;
    zip_error_set(&error, zipError, cause);
    if (file.failure->path.empty()) *file.failure = {file.path, cause};
    return -1;
  }
  std::unique_ptr<platform::InputFile> Open() {
    if (!announced) {
      announced = true;
      file.listener->OnAddingFile(file.entryName);
    }
    return platform::Files().OpenInput(file.path);
  }
  void Describe(zip_stat_t* st) const {
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    st->size = file.facts.size;
    st->mtime = file.facts.modified;
  }

  AppendedFile file;
  bool announced = false;
  zip_error_t error;
};

// The commands both sources answer alike; the source is gone after ZIP_SOURCE_FREE.
zip_int64_t CommonCommand(SourceState* source, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  switch (command) {
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
      delete source;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// The file's bytes as they are; libzip deflates them.
struct PlainSource : SourceState {
  using SourceState::SourceState;
  std::unique_ptr<platform::InputFile> input;
};

zip_int64_t PlainSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* source = static_cast<PlainSource*>(state);
  WrittenEntry& written = *source->file.written;
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source->input = source->Open();
      if (!source->input) return source->Failed(ZIP_ER_OPEN);
      written.crc = crc32(0L, Z_NULL, 0);
      written.size = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const std::int64_t n = source->input->Read(data, static_cast<std::size_t>(length));
      if (n < 0) return source->Failed(ZIP_ER_READ);
      source->file.progress->Add(static_cast<std::uint64_t>(n));
      written.crc = crc32(written.crc, static_cast<const Bytef*>(data), static_cast<uInt>(n));
      written.size += static_cast<std::uint64_t>(n);
      return n;
    }
    case ZIP_SOURCE_CLOSE:
      source->input.reset();
      return 0;
    case ZIP_SOURCE_STAT:
      source->Describe(static_cast<zip_stat_t*>(data));
      return sizeof(zip_stat_t);
    default:
      return CommonCommand(source, data, length, command);
  }
}

// The file's bytes deflated in blocks. Its description declares them deflated, so libzip
// takes them as the entry's data (protecting them with a password) and, once all is read,
// the size and CRC from here.
struct BlockSource : SourceState {
  BlockSource(const AppendedFile& appended, DeflatePool& pool) : SourceState(appended), stream(pool) {}
  BlockDeflateStream stream;
};

zip_int64_t BlockSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* source = static_cast<BlockSource*>(state);
  BlockDeflateStream& stream = source->stream;
  switch (command) {
    case ZIP_SOURCE_OPEN: {
      std::unique_ptr<platform::InputFile> input = source->Open();
      if (!input) return source->Failed(ZIP_ER_OPEN);
      WriteProgress* progress = source->file.progress;
      if (!stream.Start(std::move(input), [progress](std::size_t n) { progress->Add(n); })) {
        zip_error_set(&source->error, ZIP_ER_MEMORY, 0);
        return -1;
      }
      return 0;
    }
    case ZIP_SOURCE_READ: {
      const std::int64_t n = stream.Read(static_cast<unsigned char*>(data), static_cast<std::size_t>(length));
      if (stream.Finished()) {
        source->file.written->crc = static_cast<std::uint32_t>(stream.Crc());
        source->file.written->size = stream.Size();
      }
      if (n >= 0) return n;
      if (stream.Failed() == BlockDeflateStream::Failure::kRead) return source->Failed(ZIP_ER_READ);
      zip_error_set(&source->error, ZIP_ER_MEMORY, 0);
      return -1;
    }
    case ZIP_SOURCE_CLOSE:
      stream.Stop();
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      source->Describe(st);
      st->valid |= ZIP_STAT_COMP_METHOD;
      st->comp_method = ZIP_CM_DEFLATE;
      if (stream.Finished()) {
        st->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
        st->size = stream.Size();
        st->crc = static_cast<zip_uint32_t>(stream.Crc());
        st->comp_size = stream.CompressedSize();
      }
      return sizeof(zip_stat_t);
    }
    default:
      return CommonCommand(source, data, length, command);
  }
}

// The file's bytes and a trailer's text, made when libzip comes to the entry: by then every
// entry before it has been read.
struct ClosingSource : SourceState {
  ClosingSource(const AppendedFile& appended, std::function<std::string()> makeTrailer)
      : SourceState(appended), trailer(std::move(makeTrailer)) {}
  bool Make() {
    if (made) return true;
    if (!platform::Files().ReadAll(file.path, &content)) return false;
    content += trailer();
    made = true;
    return true;
  }
  std::function<std::string()> trailer;
  std::string content;
  bool made = false;
  std::size_t offset = 0;
};

zip_int64_t ClosingSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* source = static_cast<ClosingSource*>(state);
  WrittenEntry& written = *source->file.written;
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source->Open();  // announces it
      if (!source->Make()) return source->Failed(ZIP_ER_READ);
      source->offset = 0;
      written.crc = crc32(0L, Z_NULL, 0);
      written.size = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const std::size_t n = std::min<std::size_t>(length, source->content.size() - source->offset);
      std::memcpy(data, source->content.data() + source->offset, n);
      source->offset += n;
      source->file.progress->Add(n);
      written.crc = crc32(written.crc, static_cast<const Bytef*>(data), static_cast<uInt>(n));
      written.size += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT:
      if (!source->Make()) return source->Failed(ZIP_ER_READ);
      source->Describe(static_cast<zip_stat_t*>(data));
      static_cast<zip_stat_t*>(data)->size = source->content.size();
      return sizeof(zip_stat_t);
    default:
      return CommonCommand(source, data, length, command);
  }
}

// Out of memory inside a callback is the source's failure: no exception may unwind through
// libzip.
template <zip_source_callback Callback>
zip_int64_t Guarded(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  try {
    return Callback(state, data, length, command);
  } catch (const std::bad_alloc&) {
    zip_error_set(&static_cast<SourceState*>(state)->error, ZIP_ER_MEMORY, 0);
    return -1;
  }
}

zip_source_t* MakeSource(zip_t* archive, zip_source_callback callback, SourceState* state) {
  zip_source_t* source = zip_source_function(archive, callback, state);
  if (!source) delete state;
  return source;
}

}  // namespace

zip_source_t* NewFileSource(zip_t* archive, const AppendedFile& file) {
  return MakeSource(archive, Guarded<PlainSourceCallback>, new PlainSource(file));
}

zip_source_t* NewBlockSource(zip_t* archive, const AppendedFile& file, DeflatePool& pool) {
  return MakeSource(archive, Guarded<BlockSourceCallback>, new BlockSource(file, pool));
}

zip_source_t* NewClosingSource(zip_t* archive, const AppendedFile& file, std::function<std::string()> trailer) {
  return MakeSource(archive, Guarded<ClosingSourceCallback>, new ClosingSource(file, std::move(trailer)));
}

}  // namespace quarnel::archive::detail
