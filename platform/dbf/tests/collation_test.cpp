// The German order of character keys, proven against the tag orders of an independent engine.
#include "dbf/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "dbf/codepage.h"
#include "dbf/expr.h"
#include "support/jsonl.h"

namespace zentor::dbf {
namespace {

namespace fs = std::filesystem;
using testing::JsonObject;

const fs::path kPeer = fs::path(ZENTOR_FIXTURES_DIR) / "peer-cdx";

TEST(CollationTest, WeightsArePermutation) {
  std::set<int> seen;
  for (int b = 0; b < 256; ++b) seen.insert(collationWeight(static_cast<uint8_t>(b)));
  EXPECT_EQ(seen.size(), 256u);
}

TEST(CollationTest, GermanOrderOfSingleCharacters) {
  // Each row must sort strictly ascending (cp850 text given in UTF-8).
  const std::vector<std::vector<std::string>> rows = {
      {" ", "-", ".", "0", "9", "@", "A", "Ä", "B", "O", "Ö", "P", "U", "Ü", "V", "Z", "[", "_", "`", "a", "ä",
       "b", "o", "ö", "p", "s", "ß", "t", "u", "ü", "v", "z", "{", "~", "Ç", "é", "É"},
      {"Mueller", "Muller", "Mutter", "Müller", "Mvz", "mueller"},
      {"A", "AA", "AB", "B"},
  };
  for (const auto& row : rows) {
    for (size_t i = 1; i < row.size(); ++i) {
      EXPECT_LT(collateCompare(utf8ToCp850(row[i - 1]), utf8ToCp850(row[i])), 0) << row[i - 1] << " < " << row[i];
      EXPECT_GT(collateCompare(utf8ToCp850(row[i]), utf8ToCp850(row[i - 1])), 0) << row[i] << " > " << row[i - 1];
    }
  }
  EXPECT_EQ(collateCompare("", ""), 0);
  EXPECT_EQ(collateCompare(utf8ToCp850("Ärger"), utf8ToCp850("Ärger")), 0);
}

TEST(CollationTest, NationalUpperCase) {
  EXPECT_EQ(upperUtf8("straße äöü éøç xyz"), "STRAßE ÄÖÜ éøç XYZ");
  EXPECT_EQ(lowerUtf8("STRAßE ÄÖÜ ÉØÇ XYZ"), "straße äöü ÉØÇ xyz");
  EXPECT_EQ(upperCp850(utf8ToCp850("äöüß")), utf8ToCp850("ÄÖÜß"));
  EXPECT_EQ(upperCp850(static_cast<uint8_t>(0x82)), 0x82);  // é stays
}

TEST(JsonLinesTest, FlatObjects) {
  JsonObject obj;
  std::string error;
  ASSERT_TRUE(testing::parseJsonObject(
      R"({"a":1.5, "b":"x\"y\u00e4\ud83d\ude00", "c":true, "d":false, "e":null, "f":-2})", obj, error))
      << error;
  ASSERT_EQ(obj.size(), 6u);
  EXPECT_EQ(*testing::findMember(obj, "a"), Value(1.5));
  EXPECT_EQ(*testing::findMember(obj, "b"), Value("x\"yä\xF0\x9F\x98\x80"));
  EXPECT_EQ(*testing::findMember(obj, "c"), Value::logical(true));
  EXPECT_EQ(*testing::findMember(obj, "d"), Value::logical(false));
  EXPECT_TRUE(testing::findMember(obj, "e")->isNil());
  EXPECT_EQ(*testing::findMember(obj, "f"), Value(-2));
  EXPECT_EQ(testing::findMember(obj, "g"), nullptr);
  ASSERT_TRUE(testing::parseJsonObject("{}", obj, error));
  EXPECT_TRUE(obj.empty());
  for (const char* bad : {"", "[1]", "{\"a\":[1]}", "{\"a\":1", "{\"a\" 1}", "{\"a\":\"x}", "{\"a\":1} x",
                          "{\"a\":tru}", "{a:1}"}) {
    EXPECT_FALSE(testing::parseJsonObject(bad, obj, error)) << bad;
    EXPECT_NE(error.find("column"), std::string::npos) << bad;
  }
}

// Field types from the DBF header: the records file writes dates as text.
std::map<std::string, char> fieldTypes(const fs::path& dbf) {
  std::ifstream in(dbf, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::map<std::string, char> types;
  for (size_t off = 32; off + 32 <= bytes.size() && bytes[off] != 0x0D; off += 32) {
    std::string name = bytes.substr(off, 11);
    name.resize(name.find('\0') == std::string::npos ? 11 : name.find('\0'));
    types[name] = bytes[off + 11];
  }
  return types;
}

struct Tag {
  std::string table, name, expr;
  size_t keylen = 0;
};

std::vector<Tag> manifestTags() {
  std::ifstream in(kPeer / "MANIFEST.txt");
  std::vector<Tag> tags;
  std::string line, table;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first.size() > 4 && first.substr(first.size() - 4) == ".DBF") {
      table = first.substr(0, first.size() - 4);
    } else if (first == "tag" && !table.empty()) {
      Tag t;
      t.table = table;
      words >> t.name;
      for (std::string w; words >> w;) {
        if (w.rfind("expr=", 0) == 0) t.expr = w.substr(5);
        if (w.rfind("keylen=", 0) == 0) t.keylen = std::stoul(w.substr(7));
      }
      tags.push_back(t);
    }
  }
  return tags;
}

std::vector<uint32_t> readOrder(const fs::path& p) {
  std::ifstream in(p);
  std::vector<uint32_t> out;
  for (uint32_t n; in >> n;) out.push_back(n);
  return out;
}

// Each tag's keys computed by our expression engine over the records, padded and sorted through
// the German order with equal keys by record number, must give the independent engine's order.
TEST(CollationTest, TagOrdersOfAnIndependentEngine) {
  const std::vector<Tag> tags = manifestTags();
  ASSERT_GE(tags.size(), 12u) << "MANIFEST.txt of " << kPeer;
  std::set<std::string> tablesWithRecords;
  for (const auto& entry : fs::directory_iterator(kPeer)) {
    const std::string file = entry.path().filename().string();
    const std::string suffix = ".records.jsonl";
    if (file.size() > suffix.size() && file.substr(file.size() - suffix.size()) == suffix) {
      tablesWithRecords.insert(file.substr(0, file.size() - suffix.size()));
    }
  }
  ASSERT_FALSE(tablesWithRecords.empty());
  size_t checked = 0, differFromCodeOrder = 0;
  for (const std::string& table : tablesWithRecords) {
    std::vector<JsonObject> records;
    std::string error;
    ASSERT_TRUE(testing::readJsonLines((kPeer / (table + ".records.jsonl")).string(), records, error)) << error;
    const auto types = fieldTypes(kPeer / (table + ".DBF"));
    for (const Tag& tag : tags) {
      if (tag.table != table) continue;
      SCOPED_TRACE(table + "." + tag.name + " " + tag.expr);
      MapResolver names;
      for (const auto& [name, value] : records.front()) names.set(name, value);
      for (const auto& [name, type] : types) {
        if (type == 'D') names.set(name, Date());  // compile with the field's true type
      }
      auto expr = Expression::compile(tag.expr, names);
      ASSERT_TRUE(expr.ok()) << expr.status().toString();

      struct Key {
        std::string bytes;
        uint32_t recno;
      };
      std::vector<Key> keys;
      std::string text;
      for (const JsonObject& rec : records) {
        for (const auto& [name, value] : rec) {
          auto t = types.find(name);
          names.set(name, t != types.end() && t->second == 'D' ? Value(Date::parseDtos(value.text())) : value);
        }
        ASSERT_TRUE(expr->evaluateText(text));
        std::string key = fromUtf8(text, CodePage::kCp850);
        key.resize(tag.keylen, ' ');
        keys.push_back({std::move(key), static_cast<uint32_t>(testing::findMember(rec, "recno")->number())});
      }
      std::vector<Key> byCode = keys;
      std::stable_sort(byCode.begin(), byCode.end(), [](const Key& a, const Key& b) {
        return a.bytes != b.bytes ? a.bytes < b.bytes : a.recno < b.recno;
      });
      std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        const int c = collateCompare(a.bytes, b.bytes);
        return c != 0 ? c < 0 : a.recno < b.recno;
      });
      const std::vector<uint32_t> expected = readOrder(kPeer / (table + "." + tag.name + ".order.txt"));
      ASSERT_EQ(keys.size(), expected.size());
      for (size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(keys[i].recno, expected[i]) << "position " << i << ", key '" << cp850ToUtf8(keys[i].bytes) << "'";
      }
      ++checked;
      for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].recno != byCode[i].recno) {
          ++differFromCodeOrder;
          break;
        }
      }
    }
  }
  EXPECT_EQ(checked, tags.size());
  // The fixtures must be able to tell the German order from plain byte order (umlauts, ß).
  EXPECT_GT(differFromCodeOrder, 0u);
}

}  // namespace
}  // namespace zentor::dbf
