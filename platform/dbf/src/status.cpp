#include "dbf/status.h"

namespace zentor::dbf {

std::string Status::toString() const {
  const char* name = "OK";
  switch (code_) {
    case Code::kOk: return "OK";
    case Code::kNotFound: name = "Not found"; break;
    case Code::kLocked: name = "Locked"; break;
    case Code::kIoError: name = "I/O error"; break;
    case Code::kNoSpace: name = "No space"; break;
    case Code::kCorruption: name = "Corruption"; break;
    case Code::kInvalidArgument: name = "Invalid argument"; break;
    case Code::kSyntax: name = "Syntax error"; break;
    case Code::kNotSupported: name = "Not supported"; break;
    case Code::kReadOnly: name = "Read-only"; break;
  }
  return std::string(name) + ": " + message_;
}

}  // namespace zentor::dbf
