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

}  // namespace
}  // namespace zentor::ui
