#pragma once
// Settable connections from the database layer to the user interface, so the
// layer stays free of windows: the message box, the end of the program and
// the running of pending window events during a lock wait. Tests replace them
// to observe what would happen.
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/text/ansi.h"

namespace pu {

using MessageHook = std::function<std::int32_t(const Text& message, std::int32_t options, const std::optional<Text>& title)>;
using EndHook = std::function<void()>;
using EventHook = std::function<void()>;

// An empty function restores the default: the message to standard error
// (answer 1, OK); ending the process with exit code 1; no event processing.
void setMessageHook(MessageHook hook);
void setEndHook(EndHook hook);
void setEventHook(EventHook hook);

std::int32_t showMessage(const Text& message, std::int32_t options, const std::optional<Text>& title = std::nullopt);
// Returns only when the hook lets the program go on (tests).
void endProgram();
void processPendingEvents();

} // namespace pu
