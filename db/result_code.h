#pragma once
// Result codes of the table library calls. 0, 2, 3 and 50 are the codes the
// system distinguishes; the rest tell failures apart for diagnostics only.
#include <cstdint>

#include "platform/status.h"

namespace pu {

constexpr std::int16_t kResultSuccess = 0;
constexpr std::int16_t kResultAfter = 2;    // seek: no exact match, on the next greater key
constexpr std::int16_t kResultEof = 3;      // seek: no greater key; skip: past the last record
constexpr std::int16_t kResultBof = 4;      // skip: before the first record
constexpr std::int16_t kResultLocked = 50;  // lock held by another program or open
constexpr std::int16_t kResultError = -1;        // input/output failure
constexpr std::int16_t kResultCorrupt = -2;      // the file is damaged
constexpr std::int16_t kResultBadArgument = -3;  // no such handle, record or field; wrong type
constexpr std::int16_t kResultNoTag = -4;        // seek without a selected tag
constexpr std::int16_t kResultUnsupported = -5;  // a file or change the engine cannot handle

// The one mapping of engine results to library codes.
std::int16_t resultCodeOf(const Status& status);

} // namespace pu
