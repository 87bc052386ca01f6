#include "appcore/format.h"
#include "data/functions.h"

namespace zentor::data {

std::string MYTRANSFORM(const dbf::Value& value, std::string_view picture) {
  if (value.isEmpty()) return {};
  std::string s = app::transform(value, picture);
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace zentor::data
