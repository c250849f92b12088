#include "db/result_code.h"

namespace pu {

std::int16_t resultCodeOf(const Status& status) {
  switch (status.code()) {
    case Status::Code::Ok: return kResultSuccess;
    case Status::Code::Locked: return kResultLocked;
    case Status::Code::Corruption: return kResultCorrupt;
    case Status::Code::NotFound:
    case Status::Code::InvalidArgument: return kResultBadArgument;
    case Status::Code::Unsupported: return kResultUnsupported;
    case Status::Code::PathNotFound:
    case Status::Code::Exists:
    case Status::Code::IoError: return kResultError;
  }
  return kResultError;
}

} // namespace pu
