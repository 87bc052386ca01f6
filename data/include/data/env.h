// The directories and the engine session a table object works with.
#pragma once

#include <string>

namespace zentor::dbf {
class Session;
}

namespace zentor::data {

// The data layer's view of the current company. The session's default directory is the program
// directory and its search path holds the data directory, so a table named without a directory
// is found in the program directory first, then in the data directory.
struct Env {
  dbf::Session* session = nullptr;
  std::string programDir;   // each ends with '/'
  std::string dataDir;      // the current company's tables
  std::string customerDir;  // where KND, KGR and LND live (gcKndPfad)
};

}  // namespace zentor::data
