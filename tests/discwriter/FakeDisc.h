#pragma once
// A disc writer window, an erase window and a disc engine made of plain fields, for tests
// of the windows' logic. The fake engine keeps a real image tree.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "disc/Engine.h"
#include "disc/ImageTree.h"
#include "discwriter/EraseView.h"
#include "discwriter/WriterView.h"

namespace quarnel::testing {

struct FakeControl {
  std::string text;
  bool enabled = true;
  bool checked = false;
  std::vector<std::pair<std::string, long>> items;
  int index = -1;
};

// Text, enabled and checked state of a fake window's controls, by the window's control enum.
template <typename View, typename C>
class FakeControls : public View {
 public:
  std::string Text(C c) const override { return controls[c].text; }
  void SetText(C c, const std::string& text) override { controls[c].text = text; }
  bool Enabled(C c) const override { return controls[c].enabled; }
  void SetEnabled(C c, bool enabled) override { controls[c].enabled = enabled; }
  bool Checked(C c) const override { return controls[c].checked; }
  void SetChecked(C c, bool checked) override { controls[c].checked = checked; }
  void SetProgress(int value) override { progress = value; }
  void Close() override { ++closes; }

  mutable std::map<C, FakeControl> controls;
  int progress = -1;
  int closes = 0;
};

class FakeWriterView : public FakeControls<disc::WriterView, disc::WriterControl> {
 public:
  using C = disc::WriterControl;
  void ClearList(C c) override { controls[c].items.clear(), controls[c].index = -1; }
  void AddListItem(C c, const std::string& text, long data) override { controls[c].items.emplace_back(text, data); }
  int ListCount(C c) const override { return static_cast<int>(controls[c].items.size()); }
  std::string ListItem(C c, int i) const override { return controls[c].items.at(i).first; }
  long ListData(C c, int i) const override { return controls[c].items.at(i).second; }
  int ListIndex(C c) const override { return controls[c].index; }
  void SetListIndex(C c, int i) override { controls[c].index = i; }

  // Nodes: key -> parent key and text.
  void ClearTree() override { nodes.clear(); }
  void AddNode(const std::string& parent, const std::string& key, const std::string& text, const std::string&,
               const std::string&) override {
    nodes[key] = {parent, text};
  }
  bool HasNode(const std::string& key) const override { return nodes.count(key) != 0; }
  void RemoveNode(const std::string& key) override { nodes.erase(key); }
  void SetNodeKey(const std::string& oldKey, const std::string& newKey) override {
    if (auto node = nodes.extract(oldKey)) {
      node.key() = newKey;
      nodes.insert(std::move(node));
    }
  }
  void SetNodeText(const std::string& key, const std::string& text) override {
    if (nodes.count(key)) nodes[key].second = text;
  }
  std::optional<std::string> SelectedNode() const override { return selectedNode; }
  void ExpandNode(const std::string&) override {}
  // Rows: key, then the name, size and date columns.
  void ClearFiles() override { rows.clear(); }
  void AddFileRow(const std::string& key, const std::string& name, const std::string& size, const std::string& date,
                  const std::string&) override {
    rows.push_back({key, name, size, date});
  }
  std::optional<std::string> SelectedFileRow() const override { return selectedRow; }
  void BeginLabelEdit(disc::ImageView, const std::string& key) override { edits.push_back(key); }
  void SetPanel(int, const std::string&) override {}
  std::string Panel(int) const override { return ""; }
  void SetMenuEntryVisible(disc::FileMenuEntry, bool) override {}
  void PopupFileMenu() override {}
  void SetWaitCursor(bool) override {}
  void PumpEvents() override {}
  std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) override {
    dialogs.push_back(spec);
    return dialogAnswer;
  }
  void ShowErase(disc::DiscDevice&, disc::DiscEngine&) override {}
  void EndProgram() override {}

  std::map<std::string, std::pair<std::string, std::string>> nodes;
  std::optional<std::string> selectedNode, selectedRow;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> edits;
  std::vector<app::FileDialogSpec> dialogs;
  std::optional<std::string> dialogAnswer;
};

using FakeEraseView = FakeControls<disc::EraseView, disc::EraseControl>;

struct FakeDevice : disc::DiscDevice {
  std::string Name() override { return name; }
  bool IsSupported() override { return supported; }
  bool HasCapability(int code) override { return capabilities.count(code) != 0; }
  void RefreshMedia(bool forWriting) override { refreshes.push_back(forWriting); }
  int SpeedCount() override { return static_cast<int>(speeds.size()); }
  int SpeedValue(int index) override { return speeds.at(index).first; }
  double SpeedFactor(int value) override {
    for (auto& [v, f] : speeds) {
      if (v == value) return f;
    }
    return 0;
  }
  disc::MediaInfo Media() override { return media; }
  double FreeBlocks(bool) override { return freeBlocks; }
  void Eject() override {}
  void CloseTray() override {}
  int EraseSetting() override { return 7; }
  bool StartErase(bool quick, int setting) override {
    calls.push_back("StartErase " + std::to_string(quick) + " " + std::to_string(setting));
    return startErase;
  }
  bool WritesImageFile() override { return imageFile; }
  void SetImageFilePath(const std::string& path) override { imagePath = path; }

  std::string name = "Drive";
  bool supported = true;
  std::set<int> capabilities;
  std::vector<std::pair<int, double>> speeds;
  disc::MediaInfo media{disc::kMediaCdR, true, false};
  double freeBlocks = 1e6;
  bool startErase = true;
  bool imageFile = false;
  std::string imagePath;
  std::vector<bool> refreshes;
  std::vector<std::string> calls;
};

class FakeEngine : public disc::DiscEngine, public disc::DataWriter {
 public:
  FakeEngine() : tree(hub) {}
  bool Initialize(bool) override { return true; }
  int DeviceCount() override { return static_cast<int>(devices.size()); }
  disc::DiscDevice* Device(int i) override { return devices.at(i).get(); }
  DataWriter& Writer() override { return *this; }
  void AddListener(disc::EngineListener* l) override { hub.Add(l); }
  void RemoveListener(disc::EngineListener* l) override { hub.Remove(l); }
  void SetWakeUp(std::function<void()>) override {}
  void RunPending() override {}

  disc::WriterSettings& Settings() override { return settings; }
  int BlockSize() override { return 2048; }
  double ImageSize() override { return imageSize; }
  disc::ImageRoot& Root() override { return tree; }
  bool StartWrite(disc::DiscDevice&) override {
    ++starts;
    return startResult;
  }
  void CancelWrite() override { ++cancels; }

  FakeDevice& AddDevice(const std::string& name) {
    devices.push_back(std::make_unique<FakeDevice>());
    devices.back()->name = name;
    return *devices.back();
  }

  disc::EventHub hub;
  disc::ImageTree tree;
  disc::WriterSettings settings;
  std::vector<std::unique_ptr<FakeDevice>> devices;
  bool startResult = true;
  double imageSize = 1572864;
  int starts = 0, cancels = 0;
};

}  // namespace quarnel::testing
