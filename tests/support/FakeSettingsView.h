#pragma once
// Frmsettings made of plain fields, for tests of its logic.
#include <map>
#include <string>
#include <vector>

#include "settingsui/SettingsView.h"

namespace quarnel::testing {

class FakeSettingsView : public settingsui::SettingsView {
 public:
  std::string Text(settingsui::SettingsControl c) const override { return texts[c]; }
  void SetText(settingsui::SettingsControl c, const std::string& text) override { texts[c] = text; }
  bool Checked(settingsui::SettingsControl c) const override { return checks[c]; }
  void SetChecked(settingsui::SettingsControl c, bool checked) override { checks[c] = checked; }
  std::string BrowseForFolder(const std::string& title, std::uint32_t flags) override {
    pickers.push_back({title, flags});
    return folderAnswer;
  }
  void Close() override { ++closes; }

  struct Picker {
    std::string title;
    std::uint32_t flags;
  };
  mutable std::map<settingsui::SettingsControl, std::string> texts;
  mutable std::map<settingsui::SettingsControl, bool> checks;
  std::vector<Picker> pickers;
  std::string folderAnswer;
  int closes = 0;
};

}  // namespace quarnel::testing
