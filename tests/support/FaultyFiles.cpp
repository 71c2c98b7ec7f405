#include "support/FaultyFiles.h"

#include <cerrno>

#include "platform/Services.h"

namespace quarnel::testing {
namespace {

bool Contains(const std::string& path, const std::string& part) { return path.find(part) != std::string::npos; }

}  // namespace

FaultyFiles::FaultyFiles() : inner_(&platform::Files()) {}

void FaultyFiles::Fail(FileCall kind, std::string pathPart, int passing) {
  rules_.push_back({kind, std::move(pathPart), passing});
}

void FaultyFiles::DamageAfterFlush(std::function<void(std::string&)> damage, std::string pathPart) {
  damage_ = std::move(damage);
  damagePathPart_ = std::move(pathPart);
}

void FaultyFiles::CutOffTheEnd(std::string& bytes) { bytes.resize(bytes.size() - (bytes.size() + 3) / 4); }

std::vector<std::string> FaultyFiles::PathsOf(FileCall kind) const {
  std::vector<std::string> paths;
  for (const Call& call : calls) {
    if (call.kind == kind) paths.push_back(call.path);
  }
  return paths;
}

bool FaultyFiles::Fails(FileCall kind, const std::string& path, const std::string& to) {
  calls.push_back({kind, path, to});
  for (Rule& rule : rules_) {
    if (rule.kind != kind) continue;
    if (!Contains(path, rule.pathPart) && !(!to.empty() && Contains(to, rule.pathPart))) continue;
    if (rule.passing > 0) {
      --rule.passing;
      continue;
    }
    return true;
  }
  return false;
}

bool FaultyFiles::MoveReplace(const std::string& from, const std::string& to) {
  if (Fails(FileCall::MoveReplace, from, to)) return false;
  if (refuseReadOnlyTargets && inner_->IsReadOnly(to).value_or(false)) return false;
  return inner_->MoveReplace(from, to);
}

bool FaultyFiles::FlushToDisk(const std::string& path) {
  if (Fails(FileCall::FlushToDisk, path) || !inner_->FlushToDisk(path)) return false;
  std::string bytes;
  if (damage_ && Contains(path, damagePathPart_) && inner_->ReadAll(path, &bytes)) {
    damage_(bytes);
    inner_->WriteAll(path, bytes);
  }
  return true;
}

class FaultyFiles::FaultyInput : public platform::InputFile {
 public:
  FaultyInput(FaultyFiles& files, std::string path, std::unique_ptr<platform::InputFile> inner)
      : files_(files), path_(std::move(path)), inner_(std::move(inner)) {}
  std::int64_t Read(void* buffer, std::size_t size) override {
    if (files_.Fails(FileCall::ReadInput, path_)) {
      errno = EIO;
      return -1;
    }
    return inner_->Read(buffer, size);
  }

 private:
  FaultyFiles& files_;
  std::string path_;
  std::unique_ptr<platform::InputFile> inner_;
};

std::unique_ptr<platform::InputFile> FaultyFiles::OpenInput(const std::string& path) {
  std::unique_ptr<platform::InputFile> inner = inner_->OpenInput(Seen(path));
  if (!inner) return nullptr;
  return std::make_unique<FaultyInput>(*this, path, std::move(inner));
}

}  // namespace quarnel::testing
