// A list over a large table opens without reading its records, paints only the rows on screen
// and follows the table both ways.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "dbf/session.h"
#include "dbf/table.h"
#include "support/qt_app.h"
#include "toolkit/data_list_view.h"

namespace zentor::toolkit {
namespace {

constexpr uint32_t kRecords = 100000;

// Writes a DBF of NR N(6) and TXT C(10) directly, NR descending, so that the index order is
// the reverse of the natural order.
void writeTable(const std::string& path) {
  std::string h(32, '\0');
  h[0] = 0x03;
  h[1] = 125;
  h[2] = 1;
  h[3] = 1;
  for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<char>((kRecords >> (8 * i)) & 0xFF);
  const uint16_t headerLen = 32 + 2 * 32 + 1, recordLen = 1 + 6 + 10;
  h[8] = static_cast<char>(headerLen & 0xFF);
  h[9] = static_cast<char>(headerLen >> 8);
  h[10] = static_cast<char>(recordLen);
  auto field = [](const char* name, char type, int len) {
    std::string f(32, '\0');
    std::copy(name, name + std::char_traits<char>::length(name), f.begin());
    f[11] = type;
    f[16] = static_cast<char>(len);
    return f;
  };
  std::string out = h + field("NR", 'N', 6) + field("TXT", 'C', 10) + "\r";
  out.reserve(out.size() + size_t{kRecords} * recordLen + 1);
  char rec[32];
  for (uint32_t i = 0; i < kRecords; ++i) {
    std::snprintf(rec, sizeof rec, " %6u%-10s", kRecords - i, ("Satz" + std::to_string(kRecords - i)).c_str());
    out.append(rec, recordLen);
  }
  out += '\x1A';
  std::ofstream(path, std::ios::binary) << out;
}

class ReadCountingList : public ::testing::Test {
 protected:
  void SetUp() override {
    zentor::testing::ensureApplication();
    dir_ = std::filesystem::temp_directory_path() / ("zentor_list_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "BIG.DBF").string();
    writeTable(path_);
    {
      dbf::OpenOptions excl;
      excl.shared = false;
      auto t = dbf::Table::open(session_, path_, excl);
      ASSERT_TRUE(t.ok());
      ASSERT_TRUE((*t)->createTag("NR", "str(NR,6)").ok());
      cdx_ = (*t)->indexPath();
    }
    auto t = dbf::Table::open(session_, path_);
    ASSERT_TRUE(t.ok());
    table_ = std::move(*t);
    ASSERT_TRUE(table_->attachIndex(cdx_).ok());
    ASSERT_TRUE(table_->selectTag("NR").ok());
    ASSERT_TRUE(table_->setFilter("!Deleted()").ok());
    ASSERT_TRUE(table_->goTop().ok());
  }
  void TearDown() override {
    table_.reset();
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
  std::string path_, cdx_;
  dbf::Session session_;
  std::unique_ptr<dbf::Table> table_;
};

TEST_F(ReadCountingList, OpensAtOnceAndReadsOnlyTheRowsOnScreen) {
  DataListView view(QStringLiteral("DLVBIG"));
  view.resize(400, 300);
  view.addColumn({"NR", QStringLiteral("Nr *"), 6, Qt::AlignRight});
  view.addColumn({"TXT", QStringLiteral("Text"), 10});
  view.attachTable(table_.get());
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QCoreApplication::processEvents();
  DataListModel* m = view.dataModel();
  ASSERT_EQ(m->rowCount(), static_cast<int>(kRecords));
  EXPECT_EQ(m->index(0, 0).data().toString(), "1");
  EXPECT_EQ(m->index(0, 1).data().toString(), "Satz1");
  EXPECT_EQ(view.currentIndex().row(), 0);
  const uint64_t opened = m->recordsRead();
  EXPECT_GT(opened, 0u);
  EXPECT_LT(opened, 200u);

  // The table at its last record: the list shows it, reading again only a screenful.
  table_->goBottom();
  QCoreApplication::processEvents();
  EXPECT_EQ(view.currentIndex().row(), static_cast<int>(kRecords) - 1);
  EXPECT_EQ(m->index(static_cast<int>(kRecords) - 1, 0).data().toString(), "100000");
  EXPECT_LT(m->recordsRead() - opened, 200u);

  // The user picks a row: the table moves there.
  view.selectionModel()->setCurrentIndex(m->index(41, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  EXPECT_EQ(table_->getNumber("NR"), 42);
}

TEST_F(ReadCountingList, ADeletedRecordLeavesTheListWhenItsRowIsPainted) {
  ASSERT_TRUE(table_->lock());
  ASSERT_TRUE(table_->deleteRecord().ok());
  ASSERT_TRUE(table_->commit().ok());
  table_->unlock();
  table_->goTop();
  DataListView view(QStringLiteral("DLVBIG"));
  view.resize(400, 300);
  view.addColumn({"NR", QStringLiteral("Nr *"), 6, Qt::AlignRight});
  view.attachTable(table_.get());
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  DataListModel* m = view.dataModel();
  EXPECT_TRUE(m->index(0, 0).data().toString().isEmpty());
  QCoreApplication::processEvents();
  ASSERT_EQ(m->rowCount(), static_cast<int>(kRecords) - 1);
  EXPECT_EQ(m->index(0, 0).data().toString(), "2");
  EXPECT_EQ(view.currentIndex().row(), 0);
}

}  // namespace
}  // namespace zentor::toolkit
