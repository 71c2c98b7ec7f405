#include "app/RunMark.h"

#include "app/Settings.h"
#include "platform/Services.h"

namespace quarnel::app {

using platform::Files;

namespace {

std::string MarkPath() { return JoinPath(DataFolder(), "quarnel.run"); }

void RemoveUnlessHeld(const std::string& path) {
  if (Files().FileExists(path) && !Files().InUse(path)) Files().RemoveFile(path);
}

}  // namespace

RunMark::RunMark(const std::function<void()>& whileAlone) {
  const std::string path = MarkPath();
  if (std::unique_ptr<platform::HeldFile> alone = Files().Hold(path, true)) whileAlone();
  // Should a run starting at this very moment hold it alone, this one goes unmarked; runs
  // that start later see that one's mark.
  held_ = Files().Hold(path, false);
}

RunMark::~RunMark() {
  held_.reset();
  RemoveUnlessHeld(MarkPath());
}

bool RunUnderWay() {
  const std::string path = MarkPath();
  if (!Files().FileExists(path)) return false;
  if (!Files().Hold(path, true)) return true;
  RemoveUnlessHeld(path);  // left by a run that was ended
  return false;
}

}  // namespace quarnel::app
