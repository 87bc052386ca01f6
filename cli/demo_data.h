// The contents of the demo installation: two Austrian companies (a joinery and an electrician)
// with their master data and open orders, and the customers they share. Everything here is plain
// data drawn from a fixed-seed generator, so the same demo comes out on every run and every
// machine; writing it into tables is demo_cmd.cpp's business.
//
// Dates are given relative to `today`, so the demo looks current whenever it is made.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dbf/value.h"

namespace zentor::cli::demo {

// A small deterministic generator (SplitMix64): its sequence is fixed by the seed alone, unlike
// the standard distributions, whose results differ between library implementations.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next();
  int between(int lo, int hi);  // inclusive; REQUIRES: lo <= hi
  bool chance(int percent);     // true in `percent` of 100 cases
  template <class T>
  const T& pick(const std::vector<T>& v) {
    return v[static_cast<size_t>(between(0, static_cast<int>(v.size()) - 1))];
  }

 private:
  uint64_t state_;
};

struct CodeText {  // customer and article groups
  int number = 0;
  std::string text;
};

struct Country {
  std::string code, name;  // name upper case, as the country window stores it
};

struct VatRate {
  int rate = 0;
  int account = 0;  // revenue account of the financial accounting
  bool isDefault = false;
};

struct TextBlock {
  std::string key, text, extra;
};

struct Customer {
  int number = 0, group = 0;
  std::string salutation, title, surname, firstName, extra, street, country, postcode, town;
  std::string phoneOffice, phonePrivate, fax;
  dbf::Date birthday;
  std::string remark;
  int discount = 0;
  std::string vatId;
  int account = 0;  // 0: not yet known to the financial accounting
  std::string terms;
  dbf::Date created;
  bool firm = false;
};

struct Article {
  int number = 0, group = 0;
  std::string unit;
  double purchasePrice = 0, price = 0;  // net, as the demo companies keep their prices
  int discount = 0, vat = 0;
  std::string text, extra;
  dbf::Date created;
};

struct OrderLine {
  enum class Kind { kArticle, kText, kFree };
  Kind kind = Kind::kArticle;
  size_t index = 0;     // into the company's articles (kArticle) or text blocks (kText)
  double quantity = 0;  // kArticle, kFree
  std::string text;     // kFree
  double price = 0;     // kFree: in the order's price mode
};

struct Order {
  std::string kind;      // "R", "G" or "A"
  size_t customer = 0;   // into the customers
  std::string priceMode; // "N" or "B"
  int vat = 20;
  dbf::Date ordered;
  std::string orderedBy, delivery;
  std::array<std::string, 4> deliveryAddress;
  std::vector<OrderLine> lines;
  bool finalise = false;      // numbered (and posted) as at a first final print
  bool deliveryNote = false;  // its delivery note numbered too (invoices only)
};

struct Company {
  int number = 0, mandant = 1;
  std::string name;
  std::vector<std::pair<std::string, std::string>> letterhead;  // [BELEG]
  std::vector<std::pair<std::string, std::string>> defaults;    // [SONSTIGES]
  std::vector<CodeText> articleGroups;
  std::vector<Article> articles;
  std::vector<TextBlock> texts;
};

std::vector<CodeText> customerGroups();
std::vector<Country> countries();
std::vector<VatRate> vatRates();  // the same four rates for both companies
std::vector<Customer> customers(dbf::Date today);
// The demo companies in registry order.
std::vector<Company> companies(dbf::Date today);
std::vector<Order> orders(const Company& company, const std::vector<Customer>& customers, dbf::Date today);

}  // namespace zentor::cli::demo
