#pragma once
// frmErase's logic: the checks of the loaded disc, the start of the erase and its events.
#include "disc/DiscEngine.h"
#include "discwriter/EraseView.h"

namespace quarnel::disc {

inline constexpr const char* kEraseCaption = "Erase Re-Writable CD/DVD";

// The erasable kinds: the capability the drive needs for each media type, in the order
// they are tried.
struct ErasableKind {
  int capability;
  int mediaType;
};
inline constexpr ErasableKind kErasableKinds[] = {
    {kCapEraseCdRw, kMediaCdRw},           {kCapEraseDvdMinusRw, kMediaDvdMinusRw},
    {kCapEraseDvdPlusRw, kMediaDvdPlusRw}, {kCapEraseDvdRam, kMediaDvdRam},
    {kCapEraseBdRe, kMediaBdRe},
};

class EraseLogic final : public EngineListener {
 public:
  // ShowErase: keeps the device and receives the engine's erase events until closed.
  EraseLogic(EraseView& view, DiscDevice& device, DiscEngine& engine);
  ~EraseLogic() override;
  EraseLogic(const EraseLogic&) = delete;
  EraseLogic& operator=(const EraseLogic&) = delete;

  void Load();
  void Erase();          // cmdErase
  void CancelClicked();  // cmdCancel
  bool CanClose() const { return !busy_; }
  void Closing();
  bool Busy() const { return busy_; }

  void EraseStatus(int status, int percent) override;
  void EraseError(const DeviceError& error) override;

 private:
  void Ready();

  EraseView& view_;
  DiscDevice* device_;
  DiscEngine& engine_;
  bool busy_ = false;
  bool listening_ = true;
};

}  // namespace quarnel::disc
