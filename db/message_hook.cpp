#include "db/message_hook.h"

#include <cstdlib>
#include <iostream>

namespace pu {
namespace {

MessageHook& messageHook() {
  static MessageHook hook;
  return hook;
}

EndHook& endHook() {
  static EndHook hook;
  return hook;
}

EventHook& eventHook() {
  static EventHook hook;
  return hook;
}

} // namespace

void setMessageHook(MessageHook hook) { messageHook() = std::move(hook); }
void setEndHook(EndHook hook) { endHook() = std::move(hook); }
void setEventHook(EventHook hook) { eventHook() = std::move(hook); }

std::int32_t showMessage(const Text& message, std::int32_t options, const std::optional<Text>& title) {
  if (messageHook()) return messageHook()(message, options, title);
  std::cerr << toUtf8(message) << std::endl;
  return 1;
}

void endProgram() {
  if (endHook()) {
    endHook()();
    return;
  }
  std::exit(1);
}

void processPendingEvents() {
  if (eventHook()) eventHook()();
}

} // namespace pu
