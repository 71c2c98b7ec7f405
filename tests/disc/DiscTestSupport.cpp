#include "DiscTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace quarnel::testing {

std::string Join(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  return folder + "\\" + name;
#else
  return folder + "/" + name;
#endif
}

void MakeFolder(const std::string& path) {
#ifdef _WIN32
  CreateDirectoryA(path.c_str(), nullptr);
#else
  ::mkdir(path.c_str(), 0755);
#endif
}

void MakePatternFile(const std::string& path, std::uint64_t size, unsigned seed) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path);
  std::vector<unsigned char> block(1 << 16);
  for (std::uint64_t at = 0; at < size;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - at));
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t x = (at + i) * 2654435761u + seed;
      block[i] = static_cast<unsigned char>((x >> 13) ^ (x >> 5));
    }
    std::fwrite(block.data(), 1, n, f);
    at += n;
  }
  std::fclose(f);
}

void WriteImage(const disc::DiscImage& image, const std::string& path, std::size_t chunk, std::uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path);
  disc::ImageStream stream(image);
  std::string buffer(chunk, '\0');
  for (std::uint64_t at = 0, end = std::min(bytes, image.Bytes()); at < end;) {
    std::size_t read = 0;
    disc::FileError error;
    if (!stream.Read(at, buffer.data(), std::min<std::uint64_t>(buffer.size(), end - at), &read, &error)) {
      std::fclose(f);
      throw std::runtime_error("the image could not be read: " + error.Text);
    }
    std::fwrite(buffer.data(), 1, read, f);
    at += read;
  }
  std::fclose(f);
}

void WriteImageFile(disc::Engine& engine, const std::string& target) {
  disc::DiscDevice* drive = engine.Device(engine.DeviceCount() - 1);
  drive->SetImageFilePath(target);
  if (!engine.Writer().StartWrite(*drive)) throw std::runtime_error("the write did not start");
  engine.RunPending();
}

}  // namespace quarnel::testing
