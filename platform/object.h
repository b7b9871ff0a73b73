// The common base of components that send events: an event handler's first
// argument is the sending object.
#pragma once

class TObject {
public:
  virtual ~TObject() = default;
};
