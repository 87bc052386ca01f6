// The hook that long loops of the core call after each record or attempt, so that the windows
// stay responsive (repaint, a cancel button) without threads. The core only sees the function.
#pragma once

#include <functional>

namespace zentor::toolkit {

using EventPump = std::function<void()>;

// Runs the window events that are pending now and returns; never waits for new ones.
EventPump qtEventPump();

}  // namespace zentor::toolkit
