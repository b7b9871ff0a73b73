// The engine's exception: invalid options and fatal conditions of a
// conversion. It carries only its message text; a run turns it into the
// fatal-exception state instead of letting it leave the worker thread.
#pragma once

#include "platform/exceptions.h"

class FFmpegException : public Exception {
public:
  using Exception::Exception;
};
