#pragma once

#include <stdexcept>
#include <string_view>

#include "wire/bus_core.h"

namespace velgrin {

// Parses a ROM text (16 digits 0-9, A-F, CRC byte first) into the core's ROM field and makes it
// the driver's current ROM code. A text of any other form is no ROM text: false, and the field
// stays as it was.
bool Hex2Rom(BusCore& core, std::string_view pHexString);

// The device-table index of the device whose ROM code a list entry ("07 D20000001A2B3C28")
// shows, or -1 when no device of the last search has it or the entry holds no ROM text.
int FindIndx1820(BusCore& core, std::string_view entryText);
// The same lookup for the current text of the multisensor list.
int FindIndxHLT(BusCore& core, std::string_view cmbhltText);

// A list text whose first two characters are no device-table index (typed into a list box).
class ListIndexError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The device-table index written in the first two characters of a list entry. Throws
// ListIndexError when they are not a decimal number within the table.
int ListEntryIndex(std::string_view entryText);

}  // namespace velgrin
