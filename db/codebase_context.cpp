// Library context calls and the byte-copy helpers.
#include <cstring>

#include "db/codebase.h"
#include "db/codebase_state.h"
#include "db/result_code.h"

namespace pu {
namespace {

std::int16_t swap(std::int16_t* slot, std::int16_t value) {
  std::int16_t previous = *slot;
  *slot = value;
  return previous;
}

} // namespace

std::int32_t d4init_v() { return codebase::addContext(); }

std::int16_t code4autoOpen(std::int32_t context, std::int16_t value) {
  codebase::Context* c = codebase::context(context);
  return c ? swap(&c->autoOpen, value) : kResultBadArgument;
}

std::int16_t code4errTagName(std::int32_t context, std::int16_t value) {
  codebase::Context* c = codebase::context(context);
  return c ? swap(&c->errTagName, value) : kResultBadArgument;
}

std::int16_t code4errorCode(std::int32_t context, std::int16_t value) {
  codebase::Context* c = codebase::context(context);
  return c ? swap(&c->errorCode, value) : kResultBadArgument;
}

std::int16_t code4errOff(std::int32_t context, std::int16_t value) {
  codebase::Context* c = codebase::context(context);
  return c ? swap(&c->errOff, value) : kResultBadArgument;
}

const char* code4errorText(std::int32_t context) {
  codebase::Context* c = codebase::context(context);
  return c ? c->errorText.c_str() : "";
}

std::int32_t u4ncpy(char* destination, const char* source, std::uint32_t size) {
  if (!destination || size == 0) return 0;
  std::uint32_t n = 0;
  if (source) {
    while (n + 1 < size && source[n] != '\0') {
      destination[n] = source[n];
      ++n;
    }
  }
  destination[n] = '\0';
  return static_cast<std::int32_t>(n);
}

void u4memCpy(void* destination, const void* source, std::int32_t size) {
  if (destination && source && size > 0) std::memcpy(destination, source, static_cast<std::size_t>(size));
}

} // namespace pu
