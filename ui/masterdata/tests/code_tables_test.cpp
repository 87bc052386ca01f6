// What each code-table window adds to the data window: save checks in their order with their
// messages and focus, deletion checks, upper-cased countries, new-record defaults, the key
// locked while editing, the fields written and the list cells.
#include <gtest/gtest.h>

#include <functional>

#include "data/tables.h"
#include "support/window_fixture.h"

namespace zentor::ui {
namespace {

using logic::testing::addRecord;
using testing::focusName;
using testing::liveRecords;
using testing::WindowFixture;

struct SaveCase {
  const char* name;
  std::function<void(WindowFixture&)> prepare;  // records present before the window opens
  std::function<void(CodeTableForm&)> fill;     // typed in state new
  const char* message;
  const char* focus;
};

template <class W>
void runSaveCases(const std::vector<SaveCase>& cases) {
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    WindowFixture f;
    if (c.prepare) c.prepare(f);
    auto w = f.open<W>();
    w->PSHNEW();
    c.fill(*w);
    // Enter in the control last typed in: a number edit read on leaving would show 0 instead.
    QTest::keyClick(w->focusWidget(), Qt::Key_Return);
    ASSERT_EQ(f.messages.messages.size(), 1u);
    EXPECT_EQ(f.messages.messages[0].text, c.message);
    EXPECT_EQ(f.messages.messages[0].kind, app::MessageKind::kError);
    EXPECT_EQ(f.messages.messages[0].owner, nullptr);
    EXPECT_EQ(focusName(*w), c.focus);
    EXPECT_EQ(w->nRecNo, -1);
  }
}

void set(CodeTableForm& w, const char* name, const QString& text) {
  auto* e = w.findChild<toolkit::SingleLineEdit*>(QString::fromLatin1(name));
  ASSERT_NE(e, nullptr) << name;
  e->setFocus();
  e->clear();
  QTest::keyClicks(e, text);
}

TEST(CodeTables, SaveChecksInOrder) {
  auto agr5 = [](WindowFixture& f) {
    data::DBAGR t(f.company.ctx.env);
    addRecord(t.table(), {{"AGRNR", 5}, {"TXT", "Fünf"}});
  };
  runSaveCases<DTAAGR>({
      {"text empty", nullptr, [](CodeTableForm& w) { set(w, "AGRNR", "3"); }, "Der Text darf nicht leer sein", "TXT"},
      {"group taken", agr5, [](CodeTableForm& w) { set(w, "AGRNR", "5"); set(w, "TXT", "x"); },
       "Artikelgruppe bereits vorhanden", "AGRNR"},
  });
  auto kgr5 = [](WindowFixture& f) {
    data::DBKGR t(f.company.ctx.env);
    addRecord(t.table(), {{"KGRNR", 5}, {"TXT", "Fünf"}});
  };
  runSaveCases<DTAKGR>({
      {"text blank", nullptr, [](CodeTableForm& w) { set(w, "TXT", "   "); }, "Der Text darf nicht leer sein", "TXT"},
      {"group taken", kgr5, [](CodeTableForm& w) { set(w, "KGRNR", "5"); set(w, "TXT", "x"); },
       "Kundengruppe bereits vorhanden", "KGRNR"},
  });
  auto dk = [](WindowFixture& f) {
    data::DBLND t(f.company.ctx.env);
    addRecord(t.table(), {{"LAND", "DK"}, {"TXT", "DÄNEMARK"}});
  };
  runSaveCases<DTALND>({
      {"code empty", nullptr, [](CodeTableForm& w) { set(w, "TXT", "Irgendwo"); },
       "Das Länderkürzel darf nicht leer sein", "LAND"},
      {"code taken, typed in lower case", dk, [](CodeTableForm& w) { set(w, "LAND", "dk"); },
       "Länderkürzel bereits vorhanden", "LAND"},
  });
  auto rate19 = [](WindowFixture& f) {
    data::DBMWS t(f.company.ctx.env);
    addRecord(t.table(), {{"MWST", 19}, {"FIBU", 8400}, {"AKTIV", dbf::Value::logical(true)}});
  };
  runSaveCases<DTAMWS>({
      {"account empty", nullptr, [](CodeTableForm& w) { set(w, "MWST", "7"); set(w, "FIBU", ""); },
       "Das Erlöskonto muß von 0-99999 liegen", "FIBU"},
      {"rate taken", rate19, [](CodeTableForm& w) { set(w, "MWST", "19"); set(w, "FIBU", "8300"); },
       "Steuersatz bereits vorhanden", "MWST"},
  });
  auto blankKey = [](WindowFixture& f) {
    data::DBTXT t(f.company.ctx.env);
    addRecord(t.table(), {{"TXTNR", "     "}, {"TXT", "Erster"}});
  };
  runSaveCases<DTATXT>({
      {"text empty", nullptr, [](CodeTableForm& w) { set(w, "TXTNR", "GRUSS"); }, "Der Text darf nicht leer sein", "TXT"},
      {"second all-blank key", blankKey, [](CodeTableForm& w) { set(w, "TXT", "Zweiter"); },
       "Kürzel bereits vorhanden", "TXTNR"},
  });
}

TEST(CodeTables, CountriesAreStoredInUpperCaseAndTheNameMayBeEmpty) {
  WindowFixture f;
  auto w = f.open<DTALND>();
  w->PSHNEW();
  QTest::keyClicks(w->LAND, "at");
  w->TXT->setValue(QString::fromUtf8("österreich"));
  w->PSHOK();
  w->PSHNEW();
  QTest::keyClicks(w->LAND, "ch");
  w->PSHOK();
  EXPECT_TRUE(f.messages.messages.empty());
  data::DBLND t(f.company.ctx.env);
  t->selectTag("LAND");
  ASSERT_TRUE(t->seek("AT", false).ok());
  ASSERT_TRUE(t->found());
  EXPECT_EQ(t->getString("TXT").substr(0, 11), "ÖSTERREICH");
  ASSERT_TRUE(t->seek("CH", false).ok());
  EXPECT_TRUE(t->found());
  // Deleting needs no check, even while a customer uses the country.
  data::DBKND knd(f.company.ctx.env);
  addRecord(knd.table(), {{"KNDNR", 1}, {"LAND", "AT"}});
  f.messages.answers = {true};
  w->table()->goTop();
  w->PSHDELETE();
  EXPECT_EQ(liveRecords<data::DBLND>(f.company.ctx), 1);
}

TEST(CodeTables, DeletionChecksRefuseReferencedGroupsAndRates) {
  WindowFixture f;
  {
    data::DBAGR agr(f.company.ctx.env);
    addRecord(agr.table(), {{"AGRNR", 5}, {"TXT", "Fünf"}});
    data::DBMWS mws(f.company.ctx.env);
    addRecord(mws.table(), {{"MWST", 20}, {"FIBU", 8400}});
    data::DBKGR kgr(f.company.ctx.env);
    addRecord(kgr.table(), {{"KGRNR", 3}, {"TXT", "Drei"}});
    data::DBART art(f.company.ctx.env);
    addRecord(art.table(), {{"ARTNR", 1}, {"AGRNR", 5}, {"MWST", 20}});
    data::DBKND knd(f.company.ctx.env);
    addRecord(knd.table(), {{"KNDNR", 1}, {"KGRNR", 3}});
  }
  auto agr = f.open<DTAAGR>();
  agr->PSHDELETE();
  auto mws = f.open<DTAMWS>();
  mws->PSHDELETE();
  auto kgr = f.open<DTAKGR>();
  kgr->PSHDELETE();
  EXPECT_EQ(f.messages.texts(), (std::vector<std::string>{"Diese Artikelgruppe kann nicht gelöscht werden (ART)",
                                                          "Dieser Steuersatz kann nicht gelöscht werden (ART)",
                                                          "Diese Kundengruppe kann nicht gelöscht werden (KND)"}));
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 1);
  // Once the article has moved to another group the question comes.
  {
    data::DBART art(f.company.ctx.env);
    art->goTop();
    ASSERT_TRUE(art->lock());
    art->put("AGRNR", 6);
    art->commit();
  }
  f.messages.clear();
  f.messages.answers = {true};
  agr->PSHDELETE();
  EXPECT_EQ(f.messages.texts(), std::vector<std::string>{"Soll der Datensatz gelöscht werden?"});
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 0);
}

TEST(CodeTables, NewRecordDefaultsAndKeyDisabledWhileEditing) {
  WindowFixture f;
  {
    data::DBMWS mws(f.company.ctx.env);
    addRecord(mws.table(), {{"MWST", 7}, {"FIBU", 8300}, {"DEFAULT", dbf::Value::logical(true)},
                            {"AKTIV", dbf::Value::logical(true)}});
  }
  auto w = f.open<DTAMWS>();
  EXPECT_TRUE(w->AKTIV->value());
  w->PSHNEW();
  EXPECT_EQ(w->MWST->number(), 0);
  EXPECT_EQ(w->FIBU->number(), 0);
  EXPECT_FALSE(w->DEFAULT->value());
  EXPECT_FALSE(w->AKTIV->value());
  EXPECT_EQ(focusName(*w), "MWST");
  set(*w, "MWST", "19");
  w->DEFAULT->setValue(true);
  w->PSHOK();  // account 0 was entered: accepted; a second default is not prevented
  EXPECT_TRUE(f.messages.messages.empty());
  data::DBMWS t(f.company.ctx.env);
  t->go(2);
  EXPECT_EQ(t->getNumber("MWST"), 19);
  EXPECT_EQ(t->getNumber("FIBU"), 0);
  EXPECT_TRUE(t->getLogical("DEFAULT"));
  EXPECT_FALSE(t->getLogical("AKTIV"));

  w->table()->goTop();
  w->PSHEDIT();
  EXPECT_FALSE(w->MWST->isEnabled());
  EXPECT_TRUE(w->FIBU->isEnabled());
  EXPECT_EQ(focusName(*w), "FIBU");
  w->PSHCANCEL();

  auto txt = f.open<DTATXT>();
  txt->PSHNEW();
  EXPECT_EQ(txt->TXTNR->value().size() == 0 || txt->TXTNR->value().trimmed().isEmpty(), true);
  EXPECT_EQ(focusName(*txt), "TXTNR");
  set(*txt, "TXT", "Mit freundlichen Gruessen");
  txt->ZUSATZ->setValue(QString(400, QLatin1Char('z')));
  EXPECT_EQ(txt->ZUSATZ->value().size(), 300);
  txt->PSHOK();
  EXPECT_TRUE(f.messages.messages.empty());
  data::DBTXT tt(f.company.ctx.env);
  tt->goTop();
  EXPECT_EQ(tt->getString("TXTNR"), "     ");
  EXPECT_EQ(tt->getString("ZUSATZ"), std::string(300, 'z'));
  txt->PSHEDIT();
  EXPECT_FALSE(txt->TXTNR->isEnabled());
  EXPECT_EQ(focusName(*txt), "TXT");
}

TEST(CodeTables, ListColumnsAndCells) {
  WindowFixture f;
  {
    data::DBMWS mws(f.company.ctx.env);
    addRecord(mws.table(), {{"MWST", 7}, {"FIBU", 8300}, {"DEFAULT", dbf::Value::logical(true)},
                            {"AKTIV", dbf::Value::logical(false)}});
    data::DBKGR kgr(f.company.ctx.env);
    addRecord(kgr.table(), {{"KGRNR", 4}, {"TXT", "Vier"}});
  }
  auto w = f.open<DTAMWS>();
  QAbstractItemModel* m = w->list()->model();
  ASSERT_EQ(m->columnCount(), 4);
  const char* captions[] = {"Mwst *", "Erlöskonto", "Default", "Aktiv"};
  const char* cells[] = {"07", "8300", "X", ""};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(m->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(captions[c]));
    EXPECT_EQ(m->index(0, c).data().toString(), QString::fromUtf8(cells[c]));
  }
  EXPECT_EQ(m->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
  EXPECT_EQ(m->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignHCenter);
  auto k = f.open<DTAKGR>();
  EXPECT_EQ(k->list()->model()->index(0, 0).data().toString(), "04");
  EXPECT_EQ(k->list()->model()->headerData(0, Qt::Horizontal).toString(), "Gruppe *");
  EXPECT_EQ(k->windowTitle(), "Lumo-Zentor: Kundengruppen");
}

}  // namespace
}  // namespace zentor::ui
