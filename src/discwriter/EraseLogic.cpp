#include "discwriter/EraseLogic.h"

#include "app/Product.h"
#include "platform/Services.h"

namespace quarnel::disc {

using platform::MessageButtons;
using platform::MessageIcon;

namespace {
void Say(const std::string& text, MessageIcon icon) {
  platform::Messages().Show(text, app::kApplicationTitle, MessageButtons::Ok, icon);
}
}  // namespace

EraseLogic::EraseLogic(EraseView& view, DiscDevice& device, DiscEngine& engine)
    : view_(view), device_(&device), engine_(engine) {
  engine_.AddListener(this);
}

EraseLogic::~EraseLogic() {
  if (listening_) engine_.RemoveListener(this);
}

void EraseLogic::Load() {
  view_.SetText(EraseControl::frmErase, kEraseCaption);
  view_.SetChecked(EraseControl::chkQuikErase, true);
  Ready();
}

void EraseLogic::Ready() {
  view_.SetEnabled(EraseControl::cmdErase, true);
  view_.SetEnabled(EraseControl::cmdCancel, true);
  busy_ = false;
}

void EraseLogic::Erase() {
  if (device_ == nullptr) return;
  device_->RefreshMedia(false);
  MediaInfo media = device_->Media();
  if (media.MediaType == kMediaNone) {
    Say("No Media Loaded.", MessageIcon::Information);
    view_.Close();
    return;
  }
  if (!media.IsRewritable) {
    Say("The current media is not re-writable.", MessageIcon::Information);
    view_.Close();
    return;
  }
  bool erasable = false;
  for (const ErasableKind& kind : kErasableKinds) {
    // The capability is asked only while no earlier row has matched.
    if (device_->HasCapability(kind.capability) && kind.mediaType == media.MediaType) {
      erasable = true;
      break;
    }
  }
  if (!erasable) {
    Say("Selected drive does not support re-writable discs of this format.", MessageIcon::Information);
    view_.Close();
    return;
  }
  bool quick = view_.Checked(EraseControl::chkQuikErase);
  if (!device_->StartErase(quick, device_->EraseSetting())) {
    Say("Could not start Erase operation!!!", MessageIcon::Critical);
    view_.Close();
  }
}

void EraseLogic::CancelClicked() { view_.Close(); }

void EraseLogic::EraseStatus(int status, int percent) {
  switch (status) {
    case kEraseStarted:
      busy_ = true;
      view_.SetText(EraseControl::lblStatus, "Erasing Disc...Please Wait!!");
      view_.SetEnabled(EraseControl::cmdCancel, false);
      view_.SetEnabled(EraseControl::cmdErase, false);
      view_.SetProgress(percent);
      break;
    case kEraseProgress: view_.SetProgress(percent); break;
    case kEraseDone:
      view_.SetText(EraseControl::lblStatus, "Erase operation complete!!!");
      Say("Erase Completed!!!", MessageIcon::Information);
      Ready();
      view_.Close();
      break;
    case kEraseFailed:
      view_.SetText(EraseControl::lblStatus, "Error Erasing Disc!!!");
      Ready();
      view_.Close();
      break;
    default: break;
  }
}

void EraseLogic::EraseError(const DeviceError& error) {
  Say("Device Error: (" + std::to_string(error.Code) + ")   " + error.Description + "\r\n(" + error.DetailB + ") " +
          error.DetailA,
      MessageIcon::Critical);
  Ready();
}

void EraseLogic::Closing() {
  device_ = nullptr;
  if (listening_) engine_.RemoveListener(this);
  listening_ = false;
}

}  // namespace quarnel::disc
