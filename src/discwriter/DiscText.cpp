#include "discwriter/DiscText.h"

#include <cstdio>

namespace quarnel::disc {

std::string MegabyteNumber(double bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", bytes / 1048576.0);
  return text;
}

std::string SizeText(double bytes) { return MegabyteNumber(bytes) + " MB"; }

std::string KilobyteText(double bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", bytes / 1000.0);
  std::string number = text;
  std::size_t point = number.find('.');
  std::string whole = number.substr(0, point);
  std::string grouped;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
    grouped += whole[i];
  }
  return grouped + number.substr(point) + " KB";
}

std::string DateText(const platform::LocalTime& t) {
  int hour = t.hour % 12 == 0 ? 12 : t.hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d %s", t.month, t.day, t.year, hour, t.minute, t.second,
                t.hour < 12 ? "AM" : "PM");
  return text;
}

std::string SpeedText(double factor) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", factor);
  std::string s = text;
  if (s.rfind("0.", 0) == 0) s.erase(0, 1);
  return s + "x";
}

std::string EngineErrorText(const EngineErrorInfo& e) {
  switch (e.Category) {
    case kErrorDevice:
      return "Device Error: (" + std::to_string(e.DeviceDetail.Code) + ")   " + e.DeviceDetail.Description + "\r\n" +
             e.DeviceDetail.DetailA + " - " + e.DeviceDetail.DetailB;
    case kErrorOutputFile:
      return "Output File Error: (" + std::to_string(e.FileDetail.Code) + ")   " + e.FileDetail.Text + "\r\n'" +
             e.FileDetail.Path + "'";
    case kErrorSourceFile:
      return "Source File Error: (" + std::to_string(e.FileDetail.Code) + ")   " + e.FileDetail.Text + "\r\n'" +
             e.FileDetail.Path + "'";
    case kErrorSystem: return "System Error: (" + std::to_string(e.SystemCode) + ")   " + e.Text;
    default: return "Write Error: (" + std::to_string(e.Category) + ")   " + e.Text;
  }
}

std::string ImageFileName(const std::string& volumeId) {
  std::string name;
  for (char c : volumeId) {
    bool bad = static_cast<unsigned char>(c) < 0x20 || std::string("\\/:*?\"<>|").find(c) != std::string::npos;
    name += bad ? '_' : c;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  return (name.empty() ? "Disc Image" : name) + ".iso";
}

}  // namespace quarnel::disc
