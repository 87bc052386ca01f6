// Small functions shared by the table code and the windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/env.h"
#include "dbf/table.h"
#include "dbf/value.h"

namespace zentor::data {

class DBSTANDARD;

// Locks the current record of `t`, retrying until the lock is granted. Between attempts it runs
// `pendingEvents` (the window layer's "process pending events"; none by default) and sleeps 1 ms.
// Without `cancel` it waits as long as it takes and returns true. With `cancel`, the predicate is
// asked after every refused attempt and the wait ends with false when it says so. False at once
// when `t` has no current record (end of file), which no waiting could change.
bool WAIT4LOCK(dbf::Table& t, const std::function<void()>& pendingEvents = {},
               const std::function<bool()>& cancel = {});
// The same on a table object; false when it has no table.
bool WAIT4LOCK(DBSTANDARD& t, const std::function<void()>& pendingEvents = {},
               const std::function<bool()>& cancel = {});

// The physical record count (deleted records included) of `name` + ".DBF", resolved as a table
// name is (program directory, then data directory; a name with a directory as it stands).
// 0 when there is no such file or it cannot be opened.
uint32_t GETRECCOUNT(const Env& env, const std::string& name);

// The years (four characters) of the sales tables UMS????.DBF of the data directory, matched
// without regard to letter case, in the order the directory listing gives them.
std::vector<std::string> GETUMSARR(const Env& env);

// The n-th (1-based) field of `text` split at `delimiter`; "" when there are fewer than n fields
// or n < 1. TOKEN("a,b,,d", 3) is "", TOKEN("a,b,,d", 4) is "d".
std::string TOKEN(std::string_view text, int n, char delimiter = ',');

// The fields of `text` split at `delimiter`; a last field that is empty or all blank is dropped.
// "a;;b;" gives {"a", "", "b"}; "" gives {}. An empty delimiter gives the text as its one field.
std::vector<std::string> STRING2ARRAY(std::string_view text, std::string_view delimiter = ";");

// `value` formatted with the input picture `picture` and trimmed; "" for an empty value (0, blank
// text, empty date, false, nil).
std::string MYTRANSFORM(const dbf::Value& value, std::string_view picture);

// True when `text`, upper-cased, is exactly ".T.".
bool CHKLOGIC(std::string_view text);

}  // namespace zentor::data
