// Scratch orders for the tests of the order document: a company with letterhead texts and a
// customer, orders with positions, and printing them through DOAUFTRAGPRINT into pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logic/print.h"
#include "report/document.h"
#include "report/rpreport.h"
#include "support/company.h"

namespace zentor::reports::testing {

struct Position {
  double menge = 1;
  std::string txt;
  double vkp = 0;
  int rabatt = 0;
  std::string einheit = "Stk";
  std::string zusatz;
  int artnr = 0;
};

struct Order {
  uint32_t auftrag = 1;
  std::string typ = "R";
  std::string ntobto = "N";
  int mwst = 20;
  std::vector<Position> positions;
  std::string lsadr1, lsadr2, lsadr3, lsadr4;
  std::string bedurch, versand;
  dbf::Date bedatum;
};

// The letterhead of FDT.INI, customer 5 (with payment terms and VAT id), and AUFTRAG.RPT of the
// build in the program directory.
void prepareCompany(logic::testing::Company& c);
void addOrder(logic::testing::Company& c, const Order& o);
// `n` article positions "Artikel 1".. with prices 1.00, 2.00, ... (quantity 1).
std::vector<Position> numberedPositions(int n);

struct Printed {
  logic::PrintResult result;
  report::Document doc;  // empty when nothing was output
};
// DOAUFTRAGPRINT of order `auftrag` as a preview into `out` (company 7, client 1).
Printed printOrder(logic::testing::Company& c, report::Output& out, uint32_t auftrag, bool final,
                   bool deliveryNote = false);

// Every text of the page, in drawing order.
std::vector<std::string> texts(const report::Page& p);
// The first text run reading exactly `text`; nullptr when there is none.
const report::TextRun* findRun(const report::Page& p, const std::string& text);
// The text runs whose top left corner lies in [x0, x1) x [y0, y1), dumped as "x y w h text"
// (one decimal), sorted by y then x: a readable picture of a region of the page.
std::vector<std::string> region(const report::Page& p, double y0, double y1, double x0 = 0, double x1 = 1000);
// "1.234,50" for 1234.5: how the report prints an amount.
std::string amount(double v);

}  // namespace zentor::reports::testing
