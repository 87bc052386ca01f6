// Cells of the position list: pictures with blank zeros and the computed position value.
#include <gtest/gtest.h>

#include "data/tables.h"
#include "shell/mydatawindow.h"
#include "support/window_fixture.h"

namespace zentor::ui {
namespace {

using logic::testing::addRecord;
using testing::WindowFixture;

TEST(CellFormatting, PositionCellsShowPicturesAndTheComputedValue) {
  WindowFixture f;
  data::DBAPO apo(f.company.ctx.env);
  addRecord(apo.table(), {{"AUFTRAG", 1}, {"SORT", 10}, {"MENGE", 0.5}, {"VKP", 2.01}, {"RABATT", 0}});
  addRecord(apo.table(), {{"AUFTRAG", 1}, {"SORT", 20}, {"MENGE", 2.0}, {"VKP", 10.05}, {"RABATT", 10}});
  addRecord(apo.table(), {{"AUFTRAG", 1}, {"SORT", 30}});
  MYDATALISTVIEW list("DLVAPO");
  apo->goTop();
  EXPECT_EQ(list.fieldGet(apo.table(), "WERT"), "      1,01");  // 1.005 rounds up, exactly
  EXPECT_EQ(list.fieldGet(apo.table(), "SORT"), "  10");
  apo->skip(1);
  EXPECT_EQ(list.fieldGet(apo.table(), "WERT").trimmed(), "18,09");
  EXPECT_EQ(list.fieldGet(apo.table(), "MENGE").trimmed(), "2,0");
  EXPECT_EQ(list.fieldGet(apo.table(), "RABATT").trimmed(), "10");
  apo->skip(1);
  for (const char* field : {"MENGE", "VKP", "RABATT", "WERT"}) {
    EXPECT_TRUE(list.fieldGet(apo.table(), field).trimmed().isEmpty()) << field;
  }
}

TEST(CellFormatting, CustomerAndArticleLookups) {
  WindowFixture f;
  data::DBKND knd(f.company.ctx.env);
  addRecord(knd.table(), {{"KNDNR", 42}, {"STRASSE", "Ringstraße 4"}, {"ORT", "Wels"}});
  data::DBART art(f.company.ctx.env);
  addRecord(art.table(), {{"ARTNR", 7}, {"TXT", "Schraube M6"}});
  data::DBAKO ako(f.company.ctx.env);
  addRecord(ako.table(), {{"AUFTRAG", 1}, {"KNDNR", 42}});
  addRecord(ako.table(), {{"AUFTRAG", 2}, {"KNDNR", 4}});  // 4 must not find 42 by its prefix
  data::DBUMS ums(f.company.ctx.env, true, false, nullptr, 0, "2025");
  addRecord(ums.table(), {{"ARTNR", 7}});
  addRecord(ums.table(), {{"ARTNR", 8}});

  MYDATALISTVIEW orders("DLVAKO");
  orders.lookUpCustomersIn(knd.table());
  ako->goTop();
  EXPECT_EQ(orders.fieldGet(ako.table(), "STRASSE").trimmed(), "Ringstraße 4");
  EXPECT_EQ(orders.fieldGet(ako.table(), "ORT").trimmed(), "Wels");
  ako->skip(1);
  EXPECT_EQ(orders.fieldGet(ako.table(), "STRASSE"), "");

  MYDATALISTVIEW sales("DLVUMS");
  sales.lookUpArticlesIn(art.table());
  ums->goTop();
  EXPECT_EQ(sales.fieldGet(ums.table(), "ARTNR").trimmed(), "Schraube M6");
  ums->skip(1);
  EXPECT_EQ(sales.fieldGet(ums.table(), "ARTNR"), "");
}

}  // namespace
}  // namespace zentor::ui
