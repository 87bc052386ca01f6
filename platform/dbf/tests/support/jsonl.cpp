#include "jsonl.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace zentor::dbf::testing {
namespace {

class LineParser {
 public:
  explicit LineParser(std::string_view s) : s_(s) {}

  bool object(JsonObject& out, std::string& error) {
    out.clear();
    skipBlanks();
    if (!take('{')) return fail("expected '{'", error);
    skipBlanks();
    if (take('}')) return atEnd(error);
    while (true) {
      skipBlanks();
      std::string name;
      if (!string(name)) return fail("expected a member name", error);
      skipBlanks();
      if (!take(':')) return fail("expected ':'", error);
      skipBlanks();
      Value v;
      if (!value(v)) return fail("expected a string, number, true, false or null", error);
      out.emplace_back(std::move(name), std::move(v));
      skipBlanks();
      if (take(',')) continue;
      if (take('}')) return atEnd(error);
      return fail("expected ',' or '}'", error);
    }
  }

 private:
  bool atEnd(std::string& error) {
    skipBlanks();
    return i_ == s_.size() || fail("text after the object", error);
  }
  bool fail(const char* what, std::string& error) {
    error = std::string(what) + " at column " + std::to_string(i_ + 1);
    return false;
  }
  void skipBlanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }
  bool take(char c) {
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  bool value(Value& v) {
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '"') {
      std::string text;
      if (!string(text)) return false;
      v = Value(std::move(text));
      return true;
    }
    if (literal("true")) return v = Value::logical(true), true;
    if (literal("false")) return v = Value::logical(false), true;
    if (literal("null")) return v = Value(), true;
    if (c == '-' || (c >= '0' && c <= '9')) {
      const size_t start = i_;
      while (i_ < s_.size() && std::string_view("+-.eE0123456789").find(s_[i_]) != std::string_view::npos) ++i_;
      const std::string number(s_.substr(start, i_ - start));
      char* end = nullptr;
      const double d = std::strtod(number.c_str(), &end);
      if (end != number.c_str() + number.size()) return false;
      v = Value(d);
      return true;
    }
    return false;
  }

  static void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  bool hex4(uint32_t& out) {
    if (s_.size() - i_ < 4) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      out <<= 4;
      if (c >= '0' && c <= '9') out |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') out |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') out |= static_cast<uint32_t>(c - 'A' + 10);
      else return false;
    }
    return true;
  }

  bool string(std::string& out) {
    if (!take('"')) return false;
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) return false;
      const char e = s_[i_++];
      switch (e) {
        case '"': case '\\': case '/': out.push_back(e); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          uint32_t cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {  // a surrogate pair spells one character
            uint32_t low = 0;
            if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          appendUtf8(out, cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

const Value* findMember(const JsonObject& obj, std::string_view name) {
  for (const auto& [k, v] : obj) {
    if (k == name) return &v;
  }
  return nullptr;
}

bool parseJsonObject(std::string_view line, JsonObject& out, std::string& error) {
  return LineParser(line).object(out, error);
}

bool readJsonLines(const std::string& path, std::vector<JsonObject>& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open";
    return false;
  }
  out.clear();
  std::string line;
  for (size_t n = 1; std::getline(in, line); ++n) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    JsonObject obj;
    std::string why;
    if (!parseJsonObject(line, obj, why)) {
      error = path + ":" + std::to_string(n) + ": " + why;
      return false;
    }
    out.push_back(std::move(obj));
  }
  return true;
}

}  // namespace zentor::dbf::testing
