#include <gtest/gtest.h>

#include "data/tables.h"
#include "logic/rules.h"
#include "support/company.h"

namespace zentor::logic {
namespace {

using testing::addRecord;
using testing::Company;

TEST(ExistenceChecks, OtherRecordsOnly) {
  Company c;
  {
    data::DBAGR agr(c.ctx.env);
    for (int i = 1; i <= 11; ++i) addRecord(agr.table(), {{"AGRNR", i + 20}, {"TXT", "Gruppe"}});
    addRecord(agr.table(), {{"AGRNR", 5}, {"TXT", "Fünf"}});  // record 12
    data::DBTXT txt(c.ctx.env);
    addRecord(txt.table(), {{"TXTNR", "ABCDE"}});
    addRecord(txt.table(), {{"TXTNR", "     "}});
    data::DBLND lnd(c.ctx.env);
    addRecord(lnd.table(), {{"LAND", "DK"}, {"TXT", "DÄNEMARK"}});
  }
  EXPECT_FALSE(CHKEXISTAGRNR(c.ctx, 5, 12));
  EXPECT_TRUE(CHKEXISTAGRNR(c.ctx, 5, -1));
  EXPECT_FALSE(CHKEXISTAGRNR(c.ctx, 6, -1));
  EXPECT_TRUE(CHKEXISTTXTNR(c.ctx, "ABCDE", -1));
  EXPECT_FALSE(CHKEXISTTXTNR(c.ctx, "ABC", -1));  // a prefix is another key
  EXPECT_TRUE(CHKEXISTTXTNR(c.ctx, "     ", -1));
  EXPECT_TRUE(CHKEXISTLAND(c.ctx, "DK", 0));
  EXPECT_FALSE(CHKEXISTLAND(c.ctx, "D", 0));
  EXPECT_FALSE(CHKEXISTKGRNR(c.ctx, 1, -1));
  EXPECT_FALSE(CHKEXISTMWST(c.ctx, 20, -1));
}

TEST(DeletionChecks, ReferencedKeys) {
  Company c;
  {
    data::DBART art(c.ctx.env);
    addRecord(art.table(), {{"ARTNR", 1}, {"AGRNR", 5}, {"MWST", 20}});
    data::DBKND knd(c.ctx.env);
    addRecord(knd.table(), {{"KNDNR", 1}, {"KGRNR", 3}});
    data::DBAPO apo(c.ctx.env);
    addRecord(apo.table(), {{"AUFTRAG", 17}, {"SORT", 10}});
  }
  EXPECT_TRUE(CHKDELETEAGRNR(c.ctx, 5));
  EXPECT_FALSE(CHKDELETEAGRNR(c.ctx, 6));
  EXPECT_TRUE(CHKDELETEKGRNR(c.ctx, 3));
  EXPECT_FALSE(CHKDELETEKGRNR(c.ctx, 4));
  // Whether or not rate 20 is still active in the VAT table.
  EXPECT_TRUE(CHKDELETEMWST(c.ctx, 20));
  EXPECT_FALSE(CHKDELETEMWST(c.ctx, 10));
  EXPECT_TRUE(CHKDELETEAUFTRAG(c.ctx, 17));
  EXPECT_FALSE(CHKDELETEAUFTRAG(c.ctx, 18));
  {
    data::DBART art(c.ctx.env);
    art->goTop();
    ASSERT_TRUE(art->lock());
    art->put("AGRNR", dbf::Value(6));
    art->commit();
  }
  EXPECT_FALSE(CHKDELETEAGRNR(c.ctx, 5));
  EXPECT_TRUE(CHKDELETEAGRNR(c.ctx, 6));
}

TEST(Lookups, AddressCountryAndVatRates) {
  Company c;
  {
    data::DBLND lnd(c.ctx.env);
    addRecord(lnd.table(), {{"LAND", "A"}, {"TXT", "ÖSTERREICH"}});
    data::DBKND knd(c.ctx.env);
    addRecord(knd.table(), {{"KNDNR", 1}, {"ANREDE", "Herrn"}, {"TITEL", "Dr."}, {"ZUNAME", "Gruber"},
                            {"STRASSE", "Ringstraße 4"}, {"PLZ", "1010"}, {"ORT", "Wien"}, {"LAND", "A"}});
    addRecord(knd.table(), {{"KNDNR", 2}, {"ZUNAME", "Nirgendwo"}, {"LAND", "XX"}});
    data::DBMWS mws(c.ctx.env);
    addRecord(mws.table(), {{"MWST", 10}, {"AKTIV", dbf::Value::logical(true)}});
    addRecord(mws.table(), {{"MWST", 20}, {"AKTIV", dbf::Value::logical(true)}, {"DEFAULT", dbf::Value::logical(true)}});
    addRecord(mws.table(), {{"MWST", 13}, {"AKTIV", dbf::Value::logical(true)}});
    addRecord(mws.table(), {{"MWST", 7}, {"AKTIV", dbf::Value::logical(false)}});
  }
  EXPECT_EQ(GETLAND(c.ctx, "A  "), "ÖSTERREICH");
  EXPECT_EQ(GETLAND(c.ctx, "A"), "ÖSTERREICH");
  EXPECT_EQ(GETLAND(c.ctx, "XX "), "");
  data::DBKND knd(c.ctx.env);
  knd->selectTag("KNDNR");
  knd->goTop();
  // Fields keep their width; the postcode's own trailing blank stays before the separating one.
  const std::string pad25(20, ' ');
  EXPECT_EQ(GETREADR(c.ctx, knd.table()),
            "Herrn" + pad25 + "\r\nDr.  Gruber" + std::string(19, ' ') + "\r\n" + std::string(25, ' ') + "\r\nRingstraße 4" +
                std::string(13, ' ') + "\r\n1010  Wien" + std::string(16, ' ') + "\r\nÖSTERREICH");
  knd->skip(1);
  const std::string second = GETREADR(c.ctx, knd.table());
  EXPECT_EQ(second.substr(second.size() - 2), "\r\n");  // unknown country: empty last line
  EXPECT_EQ(GETMWSARR(c.ctx), (std::vector<double>{20, 10, 13}));
}

TEST(Lookups, QuotationTextAndReportTables) {
  Company c;
  c.ini->WRITESTRING("BELEG", "Angebotstext", "Wir freuen uns auf Ihren Auftrag.");
  c.ini->WRITESTRING("BELEG", "Grussformel", "Mit freundlichen Grüßen");
  EXPECT_EQ(GETANGEBOTSTEXT(c.ctx), "Wir freuen uns auf Ihren Auftrag.\r\n\r\nMit freundlichen Grüßen\r\n ");
  const auto tables = GETDBFARR(c.ctx);
  ASSERT_EQ(tables.size(), 9u);
  EXPECT_EQ(tables[0].alias, "KND");
  EXPECT_EQ(tables[0].file, c.ctx.env.customerDir + "KND.DBF");
  EXPECT_EQ(tables[3].alias, "ART");
  EXPECT_EQ(tables[8].index, c.ctx.env.dataDir + "APO.CDX");
}

TEST(Lookups, OrdersOfASalesYear) {
  Company c;
  {
    data::DBUMS ums(c.ctx.env, true, false, nullptr, 0, "2025");
    for (int a : {30, 10, 20, 10, 30, 30}) addRecord(ums.table(), {{"AUFTRAG", a}});
  }
  int events = 0;
  c.ctx.pendingEvents = [&] { ++events; };
  EXPECT_EQ(GETUMSAUFTRAEGE(c.ctx, "2025"), (std::vector<uint32_t>{10, 20, 30}));
  EXPECT_EQ(events, 6);
}

}  // namespace
}  // namespace zentor::logic
