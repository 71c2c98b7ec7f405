#pragma once
// Real drives through IMAPI2 (Windows Vista and later; XP with its IMAPI2 update), late-
// bound through IDispatch. Where IMAPI2 is not registered (Wine, plain XP) no drive is found.
//
// Media types: IMAPI2's physical types map onto the engine's codes. The kinds that IMAPI2's
// erase format can erase take the codes of the erase table, one kind per row:
//   CD-RW 253 (capability 17), DVD-RW 4 (19), DVD+RW 1 (22), DVD-RAM 9 (23), BD-RE 15 (27).
// A drive has one of those capabilities when it writes that kind (its profile list) and the
// erase format lists the kind among its supported media. Capability 57 (buffer underrun
// protection) is there whenever IMAPI2's data format supports the drive: IMAPI2 protects
// against underruns itself, and BufferProtect off turns that off. Test writes, disc-at-once
// and Mode 2 XA are not available through IMAPI2's data format: a write asking for them ends
// with a write error (category 4) saying so.
#include <memory>
#include <vector>

#include "disc/EngineParts.h"

namespace quarnel::disc {

// The engine's media-type code of an IMAPI2 physical media type.
int MediaTypeOfImapi(long physicalType);

std::vector<std::unique_ptr<EngineDevice>> FindImapi2Drives(EngineHost& host);

}  // namespace quarnel::disc
