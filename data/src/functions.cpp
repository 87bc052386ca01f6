#include "data/functions.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "data/dbstandard.h"
#include "paths.h"

namespace zentor::data {

bool WAIT4LOCK(dbf::Table& t, const std::function<void()>& pendingEvents,
               const std::function<bool()>& cancel) {
  if (!t.isOpen() || t.eof()) return false;
  for (;;) {
    if (t.lock()) return true;
    if (cancel && cancel()) return false;
    if (pendingEvents) pendingEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool WAIT4LOCK(DBSTANDARD& t, const std::function<void()>& pendingEvents,
               const std::function<bool()>& cancel) {
  return t.ok() && WAIT4LOCK(t.table(), pendingEvents, cancel);
}

uint32_t GETRECCOUNT(const Env& env, const std::string& name) {
  if (!env.session) return 0;
  std::string path = detail::resolveFile(*env.session, detail::withDbfExtension(name));
  if (path.empty()) return 0;
  auto t = dbf::Table::open(*env.session, path, dbf::OpenOptions{true, true});
  if (!t.ok()) return 0;
  uint32_t n = t.value()->recCount();
  t.value()->close();
  return n;
}

std::vector<std::string> GETUMSARR(const Env& env) {
  std::vector<std::string> years;
  if (!env.session) return years;
  auto entries = env.session->fs().list(env.dataDir);
  if (!entries.ok()) return years;
  for (const std::string& e : entries.value()) {
    if (e.size() != 11) continue;
    std::string upper = e;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.compare(0, 3, "UMS") == 0 && upper.compare(7, 4, ".DBF") == 0) years.push_back(e.substr(3, 4));
  }
  return years;
}

std::string TOKEN(std::string_view text, int n, char delimiter) {
  if (n < 1) return {};
  const auto fields = std::count(text.begin(), text.end(), delimiter) + 1;
  if (fields < n) return {};
  for (int i = 1; i < n; ++i) text.remove_prefix(text.find(delimiter) + 1);
  return std::string(text.substr(0, text.find(delimiter)));
}

std::vector<std::string> STRING2ARRAY(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> fields;
  if (!delimiter.empty()) {
    for (size_t at = text.find(delimiter); at != std::string_view::npos; at = text.find(delimiter)) {
      fields.emplace_back(text.substr(0, at));
      text.remove_prefix(at + delimiter.size());
    }
  }
  if (text.find_first_not_of(' ') != std::string_view::npos) fields.emplace_back(text);
  return fields;
}

bool CHKLOGIC(std::string_view text) {
  if (text.size() != 3) return false;
  return text[0] == '.' && std::toupper(static_cast<unsigned char>(text[1])) == 'T' && text[2] == '.';
}

}  // namespace zentor::data
