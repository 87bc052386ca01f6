// Shows the wait cursor for the lifetime of the guard; guards nest.
#pragma once

namespace zentor::toolkit {

class BusyCursor {
 public:
  BusyCursor();   // REQUIRES: a QApplication exists
  ~BusyCursor();  // restores exactly the cursor this guard covered
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace zentor::toolkit
