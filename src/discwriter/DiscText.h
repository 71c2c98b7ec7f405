#pragma once
// The texts the disc windows build from the engine's numbers.
#include <string>

#include "disc/DiscEngine.h"
#include "platform/System.h"

namespace quarnel::disc {

// Bytes as megabytes: "#########0.#0 MB" (no grouping, two decimals).
std::string SizeText(double bytes);
// The number alone, as the free-space message shows it.
std::string MegabyteNumber(double bytes);
// A file list size: bytes / 1000 as "###,###,##0.00" + " KB".
std::string KilobyteText(double bytes);
// "MM/DD/YYYY hh:mm:ss AM" (12-hour clock).
std::string DateText(const platform::LocalTime& time);
// A speed factor as "#.0" + "x": one decimal, no zero before the point below 1.
std::string SpeedText(double factor);
// The message for an EngineError.
std::string EngineErrorText(const EngineErrorInfo& error);
// The volume identifier made fit for a file name.
std::string ImageFileName(const std::string& volumeId);

}  // namespace quarnel::disc
