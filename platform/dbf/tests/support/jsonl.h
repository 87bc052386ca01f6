// A reader of JSON lines made of flat objects ({"name": value, ...} per line), enough for the
// fixtures written by other engines: values are strings, numbers, true/false or null, with the
// usual escapes (\uXXXX included). Nested arrays or objects are refused.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbf/value.h"

namespace zentor::dbf::testing {

// Members in file order: strings become text (UTF-8), numbers doubles, true/false logicals,
// null the nil value.
using JsonObject = std::vector<std::pair<std::string, Value>>;

// The member `name`, or nullptr.
const Value* findMember(const JsonObject& obj, std::string_view name);

// Parses one line. False with a message naming the column when it is not a flat object.
bool parseJsonObject(std::string_view line, JsonObject& out, std::string& error);

// Every non-blank line of the file. False with a message naming file and line on any failure.
bool readJsonLines(const std::string& path, std::vector<JsonObject>& out, std::string& error);

}  // namespace zentor::dbf::testing
