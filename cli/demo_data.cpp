#include "demo_data.h"

#include <algorithm>
#include <cmath>

namespace zentor::cli::demo {
namespace {

// Seeds of the independent streams: changing what one part draws leaves the others as they were.
constexpr uint64_t kCustomerSeed = 0x5A454E544F520001ULL;
constexpr uint64_t kCompanySeed = 0x5A454E544F520100ULL;
constexpr uint64_t kOrderSeed = 0x5A454E544F521000ULL;

std::string replaced(std::string s, const std::string& what, const std::string& with) {
  const size_t at = s.find(what);
  if (at != std::string::npos) s.replace(at, what.size(), with);
  return s;
}

std::string twoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// Characters of a UTF-8 text, the unit in which the table fields are measured.
size_t characters(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// --- customers ---------------------------------------------------------------------------

struct Town {
  const char* country;
  const char* postcode;
  const char* name;
  const char* area;  // telephone area code
};

const std::vector<Town>& austrianTowns() {
  static const std::vector<Town> t = {
      {"A", "1010", "Wien", "01"},           {"A", "1210", "Wien", "01"},
      {"A", "3100", "St. Pölten", "02742"},  {"A", "3300", "Amstetten", "07472"},
      {"A", "4020", "Linz", "0732"},         {"A", "4040", "Linz", "0732"},
      {"A", "4060", "Leonding", "0732"},     {"A", "4210", "Gallneukirchen", "07235"},
      {"A", "4221", "Steyregg", "0732"},     {"A", "4300", "St. Valentin", "07435"},
      {"A", "4310", "Mauthausen", "07238"},  {"A", "4320", "Perg", "07262"},
      {"A", "4400", "Steyr", "07252"},       {"A", "4470", "Enns", "07223"},
      {"A", "4490", "St. Florian", "07224"}, {"A", "4600", "Wels", "07242"},
      {"A", "4614", "Marchtrenk", "07229"},  {"A", "4810", "Gmunden", "07612"},
      {"A", "4840", "Vöcklabruck", "07672"}, {"A", "4910", "Ried im Innkreis", "07752"},
      {"A", "5020", "Salzburg", "0662"},     {"A", "5400", "Hallein", "06245"},
      {"A", "6020", "Innsbruck", "0512"},    {"A", "8010", "Graz", "0316"},
      {"A", "9020", "Klagenfurt", "0463"},
  };
  return t;
}

const std::vector<Town>& foreignTowns() {
  static const std::vector<Town> t = {
      {"D", "94032", "Passau", "+49 851"},     {"D", "80331", "München", "+49 89"},
      {"D", "83278", "Traunstein", "+49 861"}, {"D", "93047", "Regensburg", "+49 941"},
      {"CH", "9000", "St. Gallen", "+41 71"},  {"I", "39100", "Bozen", "+39 0471"},
  };
  return t;
}

const std::vector<std::string>& surnames() {
  static const std::vector<std::string> s = {
      "Gruber",  "Huber",    "Bauer",    "Wagner",   "Müller",     "Pichler",  "Steiner",  "Moser",
      "Mayer",   "Hofer",    "Leitner",  "Fuchs",    "Eder",       "Fischer",  "Schmid",   "Winkler",
      "Weber",   "Schwarz",  "Maier",    "Schneider", "Reiter",    "Mayr",     "Egger",    "Brunner",
      "Lang",    "Baumgartner", "Auer",  "Binder",   "Lechner",    "Wolf",     "Wallner",  "Aigner",
      "Ebner",   "Koller",   "Lehner",   "Haas",     "Schuster",   "Holzer",   "Wieser",   "Pöll",
      "Hörmann", "Königsberger", "Strobl", "Kern",   "Pfeiffer",   "Sommer",   "Rauch",    "Oberhauser",
      "Größwang", "Schöberl", "Kröll",   "Jäger",
  };
  return s;
}

const std::vector<std::string>& maleNames() {
  static const std::vector<std::string> s = {"Johann", "Franz",  "Josef",   "Karl",  "Michael", "Thomas",
                                             "Stefan", "Andreas", "Markus", "Peter", "Günter",  "Jürgen",
                                             "Florian", "Lukas", "Matthias", "Wolfgang"};
  return s;
}

const std::vector<std::string>& femaleNames() {
  static const std::vector<std::string> s = {"Maria",   "Anna",    "Elisabeth", "Andrea", "Sabine", "Claudia",
                                             "Martina", "Barbara", "Christine", "Renate", "Ingrid", "Julia",
                                             "Katharina", "Theresa", "Brigitte", "Monika"};
  return s;
}

const std::vector<std::string>& streets() {
  static const std::vector<std::string> s = {
      "Hauptstraße",    "Linzer Straße", "Kirchengasse",  "Bahnhofstraße",    "Schulstraße", "Mühlbachweg",
      "Lindenweg",      "Am Anger",      "Dorfplatz",     "Wiener Straße",    "Gartengasse", "Feldstraße",
      "Birkenweg",      "Römerstraße",   "Stadtplatz",    "Marktplatz",       "Ringstraße",  "Sonnenhang",
      "Waldstraße",     "Mozartstraße",  "Schubertgasse", "Salzburger Straße", "Wiesenweg",  "Florianigasse",
  };
  return s;
}

struct FirmPattern {
  const char* pattern;  // "%" is a surname, "#" a town
  int group;
};

const std::vector<FirmPattern>& firmPatterns() {
  static const std::vector<FirmPattern> p = {
      {"% Bau GmbH", 2},        {"Gasthof %", 2},           {"Autohaus % GmbH", 2},
      {"Bäckerei %", 2},        {"% & Partner OG", 2},      {"Hotel %hof", 2},
      {"Zahnarztpraxis Dr. %", 2}, {"% Immobilien GmbH", 4}, {"Marktgemeinde #", 3},
      {"Volksschule #", 3},     {"Pfarre #", 3},            {"% Installationen KG", 4},
      {"Möbelhaus % e.U.", 4},  {"Landwirtschaft %", 5},    {"Tischlerei %", 4},
  };
  return p;
}

std::string phone(Random& r, const std::string& area) {
  std::string digits;
  const int n = area.size() <= 2 ? 7 : 6;
  for (int i = 0; i < n; ++i) digits += static_cast<char>('0' + r.between(i == 0 ? 2 : 0, 9));
  if (area.front() == '+') return area + " " + digits;
  return area + "/" + digits;
}

std::string mobile(Random& r) {
  static const std::vector<std::string> prefixes = {"0664", "0676", "0650", "0699"};
  std::string digits;
  for (int i = 0; i < 7; ++i) digits += static_cast<char>('0' + r.between(0, 9));
  return r.pick(prefixes) + "/" + digits;
}

std::string digitsOf(Random& r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r.between(i == 0 ? 1 : 0, 9));
  return s;
}

std::string houseNumber(Random& r) {
  std::string n = std::to_string(r.between(1, 68));
  if (r.chance(12)) n += static_cast<char>('a' + r.between(0, 2));
  else if (r.chance(10)) n += "/" + std::to_string(r.between(1, 12));
  return n;
}

// --- articles ------------------------------------------------------------------------------

struct ArticleTemplate {
  int group;
  std::string unit;
  int vat;
  int priceLo, priceHi;  // cents of the first variant
  std::string text;      // "%1" and "%2" are replaced by the variants
  std::vector<std::string> first, second;
  std::string extra;     // ZUSATZ of some of the articles made from this template
};

std::vector<ArticleTemplate> joineryTemplates() {
  return {
      {1, "m", 20, 390, 690, "Massivholzleiste %1 %2 mm", {"Eiche", "Buche", "Fichte", "Lärche", "Zirbe", "Nuss"},
       {"20x40", "30x50", "40x60"}, ""},
      {1, "m", 20, 450, 790, "Kantholz %1 %2 mm gehobelt", {"Fichte", "Lärche", "Douglasie"},
       {"60x60", "80x80", "100x100", "120x120"}, "Technisch getrocknet, Holzfeuchte 12 % +/- 2 %"},
      {1, "Stk", 20, 39000, 59000, "Tischplatte %1 massiv %2 cm", {"Eiche", "Buche", "Nuss", "Zirbe"},
       {"160x90", "180x90", "200x100"}, "Geölt, Kanten leicht gefast. Lieferzeit ca. 3 Wochen."},
      {2, "Stk", 20, 2900, 4500, "Spanplatte beschichtet %1 %2 mm", {"Weiß", "Lichtgrau", "Eiche-Dekor", "Anthrazit"},
       {"16", "19", "25"}, "Plattenformat 2800 x 2070 mm, Zuschnitt auf Anfrage"},
      {2, "Stk", 20, 1900, 2900, "MDF-Platte roh %2 mm", {}, {"8", "16", "19", "22"}, ""},
      {2, "Stk", 20, 5500, 7900, "Multiplexplatte Birke %2 mm", {}, {"12", "15", "18", "24"}, ""},
      {2, "Stk", 20, 6900, 9900, "Dreischichtplatte %1 %2 mm", {"Fichte", "Lärche", "Eiche"}, {"19", "27"}, ""},
      {3, "Stk", 20, 450, 890, "Topfscharnier %1 %2 mit Dämpfung", {"110°", "155°", "170°"},
       {"aufliegend", "halb aufliegend", "innen liegend"}, ""},
      {3, "Pkg", 20, 2400, 3400, "Vollauszug %2 mm, Paar", {}, {"300", "350", "400", "450", "500", "550"},
       "Tragkraft 40 kg, mit Selbsteinzug"},
      {3, "Stk", 20, 390, 690, "Möbelgriff %1 %2 mm", {"Edelstahl gebürstet", "Messing", "Schwarz matt", "Aluminium"},
       {"96", "128", "160", "192"}, ""},
      {3, "Pkg", 20, 490, 890, "Bodenträger %1, 50 Stk", {"vernickelt", "Messing", "transparent"}, {}, ""},
      {3, "Stk", 20, 290, 390, "Schrankaufhänger %1", {"links", "rechts"}, {}, ""},
      {4, "Stk", 20, 28000, 45000, "Küchenunterschrank %2 cm %1", {"Weißlack", "Eiche furniert", "Anthrazit matt"},
       {"30", "40", "60", "80", "90"}, "Korpus 19 mm, Front nach Wahl, inkl. Sockelfüße"},
      {4, "Stk", 20, 19000, 32000, "Küchenoberschrank %2 cm %1", {"Weißlack", "Eiche furniert", "Anthrazit matt"},
       {"40", "60", "80"}, ""},
      {4, "Stk", 20, 34000, 89000, "Arbeitsplatte %1 %2 cm", {"Eiche massiv", "Granit-Dekor", "Weiß matt"},
       {"300x60", "410x60"}, "Ausschnitte für Spüle und Kochfeld werden gesondert verrechnet."},
      {5, "Stk", 20, 29000, 49000, "Innentür %1 %2x200 cm", {"Weißlack", "Eiche furniert", "Buche furniert", "Esche weiß"},
       {"70", "80", "90"}, "Inkl. Bänder und Einsteckschloss, ohne Drückergarnitur"},
      {5, "Stk", 20, 14000, 21000, "Türzarge %1 %2 cm", {"Weißlack", "Eiche furniert"}, {"70", "80", "90"}, ""},
      {5, "Stk", 20, 3900, 8900, "Türdrücker-Garnitur %1", {"Edelstahl", "Messing poliert", "Schwarz"}, {}, ""},
      {6, "Stk", 20, 2490, 3290, "Hartwachsöl %1 0,75 l", {"farblos", "weiß", "natur"}, {}, ""},
      {6, "Stk", 20, 3490, 4990, "Holzlasur %1 2,5 l", {"Kiefer", "Teak", "Palisander", "Lärche", "farblos"}, {}, ""},
      {6, "Pkg", 20, 1290, 1690, "Schleifpapier Körnung %2, 50 Blatt", {}, {"80", "120", "180", "240"}, ""},
      {6, "Stk", 20, 690, 990, "Holzleim D3 %2", {}, {"0,5 kg", "1 kg", "5 kg"}, ""},
      {7, "Std", 20, 6200, 6200, "Tischlerstunde", {}, {}, ""},
      {7, "Std", 20, 5800, 5800, "Montagestunde", {}, {}, "Montage vor Ort, Anfahrt wird gesondert verrechnet"},
      {7, "Std", 20, 3400, 3400, "Lehrlingsstunde", {}, {}, ""},
      {7, "Std", 20, 6500, 6500, "Aufmaß und Beratung vor Ort", {}, {}, ""},
      {7, "Std", 20, 7200, 7200, "Planung und Entwurf", {}, {}, ""},
      {7, "kg", 20, 35, 35, "Entsorgung Altholz", {}, {}, ""},
      {8, "kg", 13, 25, 35, "Brennholz %1 ofenfertig, 33 cm", {"Buche", "Eiche", "Fichte", "Birke"}, {}, ""},
      {8, "Pkg", 13, 390, 490, "Holzbriketts %1, 10 kg", {"Buche", "Eiche"}, {}, ""},
      {8, "kg", 13, 40, 40, "Hobelspäne für Tiereinstreu", {}, {}, ""},
      {8, "Stk", 10, 2990, 3990, "Fachbuch: %1", {"Möbelbau für Profis", "Holzoberflächen richtig behandeln"}, {}, ""},
      {8, "Stk", 0, 5000, 5000, "Geschenkgutschein %2 Euro", {}, {"50", "100", "250"}, ""},
  };
}

std::vector<ArticleTemplate> electricianTemplates() {
  return {
      {1, "Pkg", 20, 890, 1290, "Unterputz-Gerätedose %1, 25 Stk", {"Ø 60 mm", "Ø 68 mm", "Ø 68 mm tief"}, {}, ""},
      {1, "m", 20, 45, 65, "Isolierrohr flexibel %1", {"M16", "M20", "M25", "M32"}, {}, ""},
      {1, "Stk", 20, 290, 490, "Abzweigdose Aufputz IP%2", {}, {"44", "55", "65"}, ""},
      {1, "Pkg", 20, 290, 490, "Kabelbinder %2 mm, 100 Stk", {}, {"2,5x100", "3,6x200", "4,8x300"}, ""},
      {1, "Pkg", 20, 1190, 1590, "Verbindungsklemme %1, 50 Stk", {"2-Leiter", "3-Leiter", "5-Leiter"}, {}, ""},
      {1, "m", 20, 190, 390, "Kabelkanal %1 %2 mm", {"weiß", "grau"}, {"15x15", "25x40", "40x60", "60x110"}, ""},
      {2, "m", 20, 69, 99, "Mantelleitung NYM-J %2 mm²", {}, {"3x1,5", "3x2,5", "5x1,5", "5x2,5", "5x4", "5x6", "5x10"},
       ""},
      {2, "m", 20, 119, 169, "Erdkabel E-YY-J %2 mm²", {}, {"3x1,5", "3x2,5", "5x2,5", "5x6", "5x10", "5x16"},
       "Verlegung im Erdreich, Schutzrohr empfohlen"},
      {2, "m", 20, 129, 189, "Datenkabel Cat.7 S/FTP %1", {"simplex", "duplex"}, {}, ""},
      {2, "m", 20, 89, 129, "Lautsprecherkabel %2 mm²", {}, {"2x1,5", "2x2,5"}, ""},
      {2, "m", 20, 159, 229, "Gummileitung H07RN-F %2 mm²", {}, {"3G1,5", "3G2,5", "5G2,5", "5G6"}, ""},
      {3, "Stk", 20, 590, 990, "%2 %1", {"reinweiß", "alu matt", "anthrazit", "edelstahl"},
       {"Schuko-Steckdose", "Doppelsteckdose", "Ausschalter", "Wechselschalter", "Serienschalter", "Jalousietaster",
        "LED-Dimmer", "Abdeckrahmen 1-fach", "Abdeckrahmen 2-fach", "Abdeckrahmen 3-fach"},
       ""},
      {4, "Stk", 20, 1490, 2290, "LED-Einbauspot %1, %2", {"5 W", "7 W"}, {"2700 K", "3000 K", "4000 K"},
       "Schwenkbar, dimmbar, Einbautiefe 45 mm"},
      {4, "Stk", 20, 6900, 8900, "LED-Panel 62x62 cm 36 W, %2", {}, {"3000 K", "4000 K"}, ""},
      {4, "Stk", 20, 390, 790, "LED-Lampe %1 %2", {"E27", "E14", "GU10"}, {"5 W", "8 W", "12 W"}, ""},
      {4, "Stk", 20, 5900, 8900, "Außenleuchte %1 mit Bewegungsmelder", {"anthrazit", "weiß", "edelstahl"}, {},
       "Schutzart IP44, Erfassungswinkel 180°"},
      {4, "Pkg", 20, 2490, 3990, "LED-Streifen %2 m %1", {"warmweiß", "neutralweiß", "RGB"}, {"2", "5"}, ""},
      {4, "Stk", 20, 8900, 14900, "Pendelleuchte %1", {"Industrie schwarz", "Glas opal", "Messing"}, {}, ""},
      {5, "Stk", 20, 390, 590, "Leitungsschutzschalter %1%2", {"B", "C"}, {"10 A", "13 A", "16 A", "20 A", "25 A", "32 A"},
       ""},
      {5, "Stk", 20, 3900, 6900, "FI-Schutzschalter %1 30 mA %2", {"40 A", "63 A"}, {"2-polig", "4-polig"}, ""},
      {5, "Stk", 20, 3900, 5900, "Kleinverteiler Unterputz %2-reihig", {}, {"1", "2", "3", "4"}, ""},
      {5, "Stk", 20, 8900, 18900, "Überspannungsschutz %1", {"Typ 1+2", "Typ 2", "Typ 3"}, {}, ""},
      {5, "Stk", 20, 29000, 39000, "Zählerschrank %2 Zählerplätze", {}, {"1", "2", "3"},
       "Nach den Vorgaben des Netzbetreibers"},
      {6, "Stk", 20, 59900, 79900, "Geschirrspüler vollintegriert %2 cm", {}, {"45", "60"}, ""},
      {6, "Stk", 20, 49900, 69900, "Einbau-Backofen %1", {"Edelstahl", "Schwarz"}, {}, ""},
      {6, "Stk", 20, 49900, 59900, "Induktionskochfeld %2 cm", {}, {"60", "80"}, "Inkl. Anschluss an bestehende Dose"},
      {6, "Stk", 20, 34900, 44900, "Durchlauferhitzer elektronisch %2 kW", {}, {"18", "21", "24", "27"}, ""},
      {6, "Stk", 20, 29900, 49900, "Dunstabzugshaube %1 %2 cm", {"Wandmontage", "Inselmontage"}, {"60", "90"}, ""},
      {6, "Stk", 20, 54900, 64900, "Kühlschrank Einbau %2 cm", {}, {"88", "122", "178"}, ""},
      {6, "Stk", 20, 32900, 42900, "Warmwasserspeicher %2 l", {}, {"30", "80", "120", "200"}, ""},
      {7, "Stk", 0, 11900, 13900, "PV-Modul monokristallin %2 Wp %1", {"Full Black", "Silberrahmen"},
       {"410", "430", "450"}, "25 Jahre Produktgarantie, 30 Jahre Leistungsgarantie"},
      {7, "Stk", 0, 119000, 159000, "Hybrid-Wechselrichter %2 kW", {}, {"5", "6", "8", "10", "15"}, ""},
      {7, "Stk", 0, 249000, 329000, "Batteriespeicher %2 kWh", {}, {"5", "7", "10", "15"}, ""},
      {7, "Stk", 0, 4900, 4900, "Montagesystem Ziegeldach je Modul", {}, {}, ""},
      {7, "m", 0, 149, 149, "Solarkabel 6 mm² %1", {"schwarz", "rot"}, {}, ""},
      {7, "Pkg", 0, 590, 590, "Solar-Steckverbinder, Paar", {}, {}, ""},
      {7, "Stk", 20, 79900, 99900, "Wallbox %2 kW", {}, {"11", "22"}, "Förderfähig, inkl. Lastmanagement"},
      {8, "Std", 20, 6400, 6400, "Elektrikerstunde", {}, {}, ""},
      {8, "Std", 20, 5900, 5900, "Monteurstunde", {}, {}, ""},
      {8, "Std", 20, 3900, 3900, "Helferstunde", {}, {}, ""},
      {8, "Std", 20, 3200, 3200, "Lehrlingsstunde", {}, {}, ""},
      {8, "Std", 20, 8900, 8900, "E-Befund und Anlagenprüfung", {}, {}, "Prüfbericht nach ÖVE/ÖNORM E 8101"},
      {8, "Std", 20, 4500, 4500, "Zuschlag Notdienst", {}, {}, ""},
      {8, "Pkg", 20, 1500, 1500, "Kleinmaterial pauschal", {}, {}, ""},
      {8, "kg", 20, 50, 50, "Entsorgung Elektroaltgeräte", {}, {}, ""},
      {8, "Stk", 10, 3490, 4490, "Fachbuch: %1", {"Elektroinstallation in der Praxis", "Photovoltaik planen"}, {}, ""},
  };
}

// Prices as a shop writes them: small ones to the ten cents, larger ones ending in ,90.
int64_t shopPrice(double cents) {
  if (cents < 100) return std::max<int64_t>(1, std::llround(cents));
  if (cents < 2000) return std::llround(cents / 10.0) * 10;
  return static_cast<int64_t>(cents / 100.0) * 100 + 90;
}

std::vector<Article> articlesFrom(const std::vector<ArticleTemplate>& templates, Random& r, dbf::Date today) {
  std::vector<Article> out;
  std::vector<int> perGroup(100, 0);
  for (const auto& t : templates) {
    const std::vector<std::string> first = t.first.empty() ? std::vector<std::string>{""} : t.first;
    const std::vector<std::string> second = t.second.empty() ? std::vector<std::string>{""} : t.second;
    const int base = r.between(t.priceLo, t.priceHi);
    for (size_t i = 0; i < first.size(); ++i) {
      const double materialFactor = i == 0 ? 1.0 : 0.85 + r.between(0, 45) / 100.0;
      for (size_t j = 0; j < second.size(); ++j) {
        Article a;
        a.group = t.group;
        a.number = t.group * 1000 + (++perGroup[static_cast<size_t>(t.group)]);
        a.unit = t.unit;
        a.vat = t.vat;
        std::string text = replaced(replaced(t.text, "%1", first[i]), "%2", second[j]);
        while (text.find("  ") != std::string::npos) text = replaced(text, "  ", " ");
        while (!text.empty() && text.back() == ' ') text.pop_back();
        a.text = text;
        const bool voucher = t.text.rfind("Geschenkgutschein", 0) == 0;  // sold at its face value
        const int64_t cents = voucher ? std::stoll(second[j]) * 100
                                      : shopPrice(base * materialFactor * (1.0 + 0.22 * static_cast<double>(j)));
        a.price = static_cast<double>(cents) / 100.0;
        a.purchasePrice = voucher ? 0.0 : static_cast<double>(std::llround(cents * (52 + r.between(0, 18)) / 100.0)) / 100.0;
        a.discount = r.chance(8) ? r.pick(std::vector<int>{5, 10}) : 0;
        if (!t.extra.empty() && (j == 0 || r.chance(50))) a.extra = t.extra;
        a.created = today.addDays(-r.between(30, 1500));
        out.push_back(std::move(a));
      }
    }
  }
  return out;
}

}  // namespace

uint64_t Random::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

int Random::between(int lo, int hi) {
  const auto span = static_cast<uint64_t>(hi - lo) + 1;
  return lo + static_cast<int>(next() % span);
}

bool Random::chance(int percent) { return between(1, 100) <= percent; }

std::vector<CodeText> customerGroups() {
  return {{1, "Privatkunden"}, {2, "Gewerbekunden"}, {3, "Öffentliche Hand"}, {4, "Wiederverkäufer"},
          {5, "Landwirtschaft"}};
}

std::vector<Country> countries() {
  return {{"A", "ÖSTERREICH"}, {"D", "DEUTSCHLAND"}, {"CH", "SCHWEIZ"},  {"I", "ITALIEN"},
          {"SLO", "SLOWENIEN"}, {"H", "UNGARN"},     {"CZ", "TSCHECHIEN"}, {"FL", "LIECHTENSTEIN"}};
}

std::vector<VatRate> vatRates() { return {{20, 4000, true}, {13, 4010, false}, {10, 4020, false}, {0, 4030, false}}; }

std::vector<Customer> customers(dbf::Date today) {
  Random r(kCustomerSeed);
  static const std::vector<std::string> titles = {"Dr.", "Mag.", "Ing.", "DI", "Prof.", "MMag."};
  static const std::vector<std::string> terms = {"14/2/30", "8/3/30", "0/0/14", "10/2/30", "0/0/30"};
  static const std::vector<std::string> privateRemarks = {
      "Bitte vorher anrufen", "Zufahrt über Hofeinfahrt", "Nur vormittags erreichbar", "Stammkunde seit Jahren",
      "Rechnung per E-Mail erwünscht"};
  static const std::vector<std::string> firmRemarks = {
      "Lieferung nur Mo-Do 7-15 Uhr", "Bestellungen nur mit Bestellnummer", "Zahlt verlässlich",
      "Rahmenvereinbarung 2026", "Ansprechpartner im Einkauf"};
  std::vector<Customer> out;
  int nextAccount = 20001;
  for (int i = 1; i <= 150; ++i) {
    Customer c;
    c.number = i;
    const bool foreign = r.chance(8);
    const Town& town = foreign ? r.pick(foreignTowns()) : r.pick(austrianTowns());
    c.country = town.country;
    c.postcode = town.postcode;
    c.town = town.name;
    c.street = r.pick(streets()) + " " + houseNumber(r);
    c.firm = r.chance(32);
    if (c.firm) {
      const std::string contact = r.pick(surnames());
      c.salutation = "Firma";
      // Drawn again until the name fits ZUNAME, rather than cut in the middle of a word.
      const FirmPattern* p = nullptr;
      do {
        p = &r.pick(firmPatterns());
        c.surname = replaced(replaced(p->pattern, "%", r.pick(surnames())), "#", town.name);
      } while (characters(c.surname) > 25);
      c.group = p->group;
      c.extra = r.chance(60) ? std::string(r.chance(50) ? "z.Hd. Herrn " : "z.Hd. Frau ") + contact : "";
      c.phoneOffice = phone(r, town.area);
      if (r.chance(40)) c.fax = phone(r, town.area);
      c.vatId = c.country == "A" ? "ATU" + digitsOf(r, 8) : (c.country == "D" ? "DE" + digitsOf(r, 9) : "");
      c.discount = r.chance(45) ? r.pick(std::vector<int>{2, 3, 5, 10}) : 0;
      if (r.chance(25)) c.remark = r.pick(firmRemarks);
    } else {
      const bool male = r.chance(50);
      c.salutation = male ? "Herrn" : "Frau";
      c.firstName = male ? r.pick(maleNames()) : r.pick(femaleNames());
      c.surname = r.pick(surnames());
      if (r.chance(12)) c.title = r.pick(titles);
      c.group = r.chance(15) ? 5 : 1;
      if (r.chance(55)) c.phonePrivate = mobile(r);
      if (r.chance(25)) c.phoneOffice = phone(r, town.area);
      if (r.chance(40)) c.birthday = dbf::Date::fromYmd(r.between(1942, 2001), r.between(1, 12), r.between(1, 28));
      if (r.chance(15)) c.remark = r.pick(privateRemarks);
      c.discount = r.chance(10) ? 3 : 0;
    }
    c.terms = c.firm ? r.pick(terms) : "14/2/30";
    if (c.firm ? r.chance(70) : r.chance(15)) c.account = nextAccount++;
    c.created = today.addDays(-r.between(80, 2500));  // before any of the demo orders
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<Company> companies(dbf::Date today) {
  std::vector<Company> out;
  {
    Random r(kCompanySeed + 1);
    Company c;
    c.number = 1;
    c.mandant = 1;
    c.name = "Tischlerei Berger GmbH";
    c.letterhead = {
        {"Werbetext1", "Tischlerei Berger GmbH"},
        {"Werbetext2", "Möbel nach Maß, Küchen, Innenausbau - Meisterbetrieb seit 1978"},
        {"Adresse", "Tischlerei Berger GmbH · Hauptstraße 27 · 4320 Perg"},
        {"Bank1", "Raiffeisenbank Perg, IBAN AT61 1904 3002 3457 3201, BIC RZOOAT2L560"},
        {"Bank2", "Sparkasse Oberösterreich, IBAN AT48 2032 0321 0000 4567, BIC ASPKAT2LXXX"},
        {"Gericht", "Firmenbuch FN 123456a, Landesgericht Linz, UID ATU12345678, Gerichtsstand Perg"},
        {"Angebotstext",
         "Wir hoffen, Ihnen ein interessantes Angebot unterbreitet zu haben, und freuen uns auf Ihren Auftrag."},
        {"Grussformel", "Mit freundlichen Grüßen"},
        {"Unterschrift", "Johann Berger, Tischlermeister"},
    };
    c.defaults = {{"Ziel", "14/2/30"}, {"Einheit", "Stk"}, {"Kundengruppe", "1"}, {"Jahresnummern", ".T."},
                  {"BtoNto", "N"}};
    c.articleGroups = {{1, "Massivholz"}, {2, "Plattenwerkstoffe"}, {3, "Beschläge"},  {4, "Küchen"},
                       {5, "Türen"},      {6, "Oberflächen"},       {7, "Leistungen"}, {8, "Brennholz, Sonstiges"}};
    c.articles = articlesFrom(joineryTemplates(), r, today);
    c.texts = {
        {"GRUSS", "Mit freundlichen Grüßen", "Ihre Tischlerei Berger"},
        {"LIEF", "Lieferung frei Haus innerhalb des Bezirks Perg", ""},
        {"ZAHL", "Zahlbar innerhalb von 14 Tagen mit 2 % Skonto, 30 Tage netto", ""},
        {"DANK", "Vielen Dank für Ihren Auftrag!", ""},
        {"MONT", "Die Montage erfolgt durch unsere eigenen Fachkräfte.",
         "Bitte sorgen Sie für freie Zufahrt und einen Stromanschluss vor Ort."},
        {"HOLZ", "Holz ist ein Naturprodukt: Abweichungen in Farbe und Maserung sind möglich.", ""},
        {"ANZ", "Anzahlung 30 % bei Auftragserteilung", "Der Restbetrag ist nach der Montage fällig."},
    };
    out.push_back(std::move(c));
  }
  {
    Random r(kCompanySeed + 2);
    Company c;
    c.number = 2;
    c.mandant = 2;
    c.name = "Elektro Wimmer KG";
    c.letterhead = {
        {"Werbetext1", "Elektro Wimmer KG"},
        {"Werbetext2", "Elektroinstallationen, Photovoltaik, Hausgeräte - 24h Notdienst"},
        {"Adresse", "Elektro Wimmer KG · Ringstraße 8 · 4600 Wels"},
        {"Bank1", "Oberbank Wels, IBAN AT12 1500 0007 1234 5678, BIC OBKLAT2L"},
        {"Bank2", "Volksbank Oberösterreich, IBAN AT83 5000 0000 0987 6543, BIC VBOEATWWOOE"},
        {"Gericht", "Firmenbuch FN 654321k, Landesgericht Wels, UID ATU87654321, Gerichtsstand Wels"},
        {"Angebotstext", "Dieses Angebot ist 30 Tage gültig. Über Ihren Auftrag würden wir uns sehr freuen."},
        {"Grussformel", "Mit freundlichen Grüßen"},
        {"Unterschrift", "Ing. Martin Wimmer"},
    };
    c.defaults = {{"Ziel", "14/2/30"}, {"Einheit", "Stk"}, {"Kundengruppe", "1"}, {"Jahresnummern", ".T."},
                  {"BtoNto", "N"}};
    c.articleGroups = {{1, "Installation"}, {2, "Kabel, Leitungen"}, {3, "Schalter, Steckdosen"}, {4, "Leuchten"},
                       {5, "Verteiler, Schutz"}, {6, "Hausgeräte"},     {7, "Photovoltaik"},          {8, "Leistungen"}};
    c.articles = articlesFrom(electricianTemplates(), r, today);
    c.texts = {
        {"GRUSS", "Mit freundlichen Grüßen", "Ihr Team von Elektro Wimmer"},
        {"LIEF", "Lieferung und Anschluss durch unsere Monteure", ""},
        {"ZAHL", "Zahlbar innerhalb von 14 Tagen mit 2 % Skonto, 30 Tage netto", ""},
        {"DANK", "Vielen Dank für Ihren Auftrag!", ""},
        {"BEF", "Nach Fertigstellung erhalten Sie einen Anlagenbefund.", ""},
        {"PV", "Die Förderung ist vom Kunden zu beantragen.",
         "Wir unterstützen Sie gerne bei den Unterlagen für den Netzbetreiber."},
        {"ANZ", "Anzahlung 30 % bei Auftragserteilung", "Der Restbetrag ist nach der Inbetriebnahme fällig."},
    };
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<Order> orders(const Company& company, const std::vector<Customer>& customers, dbf::Date today) {
  Random r(kOrderSeed + static_cast<uint64_t>(company.number));
  static const std::vector<std::string> months = {"Jänner", "Februar", "März",      "April",   "Mai",      "Juni",
                                                  "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  static const std::vector<std::string> contacts = {"Hr. ", "Fr. ", "Ing. ", "Hr. "};
  static const std::vector<std::string> privateOrderedBy = {"telefonisch", "persönlich", "per E-Mail",
                                                            "Besuch vor Ort"};
  static const std::vector<std::string> subjects = {"Elektroinstallation Neubau", "Störungsbehebung",
                                                    "Photovoltaikanlage",         "Sanierung Altbau",
                                                    "Überprüfung der Anlage",     "Küchenanschluss"};
  static const std::vector<std::string> sites = {"Baustelle Neubau", "Lager Halle 2", "Filiale", "Ferienhaus",
                                                 "Hintereingang Hof"};

  // Articles by VAT rate, so that an order holds articles of its own rate.
  auto articlesAt = [&](int vat) {
    std::vector<size_t> idx;
    for (size_t i = 0; i < company.articles.size(); ++i)
      if (company.articles[i].vat == vat) idx.push_back(i);
    return idx;
  };
  const std::vector<size_t> standard = articlesAt(20);
  std::vector<size_t> all(company.articles.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;

  std::vector<Order> out;
  const int count = 38;
  int invoicesToFinalise = 5, creditNotesToFinalise = 1;
  for (int n = 0; n < count; ++n) {
    Order o;
    const int kind = r.between(1, 100);
    o.kind = kind <= 62 ? "R" : (kind <= 72 ? "G" : "A");
    o.customer = static_cast<size_t>(r.between(0, static_cast<int>(customers.size()) - 1));
    const Customer& c = customers[o.customer];
    const bool abroad = c.firm && c.country != "A" && !c.vatId.empty();
    std::vector<size_t> pool = standard;
    if (abroad) {
      // Intra-community supply to a firm with a VAT id: no Austrian VAT.
      o.vat = 0;
      pool = all;
    } else if (r.chance(8)) {
      for (int rate : {13, 10, 0}) {
        const auto at = articlesAt(rate);
        if (at.size() >= 2 && r.chance(50)) {
          o.vat = rate;
          pool = at;
          break;
        }
      }
    }
    o.priceMode = !c.firm && r.chance(35) ? "B" : "N";
    o.ordered = today.addDays(-r.between(0, 75));
    if (company.mandant == 2) {
      o.orderedBy = r.pick(subjects);
    } else {
      o.orderedBy = c.firm ? r.pick(contacts) + r.pick(surnames()) : r.pick(privateOrderedBy);
    }
    if (company.number == 1) {
      static const std::vector<std::string> periods = {"sofort", "ca. 2 Wochen", "ca. 4 Wochen", "nach Vereinbarung",
                                                       "ab Lager"};
      if (r.chance(40)) {
        // A calendar week a few weeks after the order came in.
        const dbf::Date d = o.ordered.addDays(r.between(7, 42));
        const int dayOfYear = d.julian() - dbf::Date::fromYmd(d.year(), 1, 1).julian();
        o.delivery = "KW " + std::to_string(std::min(52, dayOfYear / 7 + 1));
      } else {
        o.delivery = r.pick(periods);
      }
    } else {
      const dbf::Date d = o.ordered.addDays(r.between(0, 20));
      o.delivery = r.chance(50) ? twoDigits(d.day()) + "." + twoDigits(d.month()) + "." + std::to_string(d.year())
                                : months[static_cast<size_t>(d.month() - 1)] + " " + std::to_string(d.year());
    }
    if (r.chance(25)) {
      const Town& t = r.pick(austrianTowns());
      o.deliveryAddress = {c.firm ? c.surname : "Fam. " + c.surname, r.pick(sites),
                           r.pick(streets()) + " " + houseNumber(r), std::string(t.postcode) + " " + t.name};
    }

    const int positions = r.between(1, 6);
    for (int p = 0; p < positions; ++p) {
      OrderLine l;
      l.kind = OrderLine::Kind::kArticle;
      l.index = pool[static_cast<size_t>(r.between(0, static_cast<int>(pool.size()) - 1))];
      const std::string& unit = company.articles[l.index].unit;
      if (unit == "Stk" || unit == "Pkg") l.quantity = r.between(1, 8);
      else if (unit == "kg") l.quantity = r.between(5, 400);
      else if (unit == "Std") l.quantity = r.between(1, 40) / 2.0;  // in half hours
      else l.quantity = r.between(2, 120) / 2.0;
      o.lines.push_back(l);
    }
    if (r.chance(20)) {
      OrderLine l;
      l.kind = OrderLine::Kind::kFree;
      l.quantity = 1;
      l.text = r.chance(50) ? "Anfahrt pauschal" : "Zustellung";
      l.price = r.pick(std::vector<double>{25.0, 35.0, 45.0, 59.0});
      o.lines.push_back(l);
    }
    if (r.chance(55)) {
      OrderLine l;
      l.kind = OrderLine::Kind::kText;
      l.index = static_cast<size_t>(r.between(0, static_cast<int>(company.texts.size()) - 1));
      o.lines.insert(o.lines.begin() + r.between(0, static_cast<int>(o.lines.size())), l);
    }
    if (o.kind == "R" && invoicesToFinalise > 0 && n % 3 == 0) {
      o.finalise = true;
      o.deliveryNote = invoicesToFinalise % 2 == 1;
      --invoicesToFinalise;
    } else if (o.kind == "G" && creditNotesToFinalise > 0) {
      o.finalise = true;
      --creditNotesToFinalise;
    }
    out.push_back(std::move(o));
  }
  return out;
}

}  // namespace zentor::cli::demo
