// The company registry: which companies this installation serves and where their data live.
//
// It is the text file FIRMEN.TXT in the program directory (Windows-1252, CR LF), meant to be read
// and edited by an administrator; its layout is described in docs/company-registry.md:
//
//   ; comment
//   MODUS=MEHRFIRMEN            (or EINZELFIRMA)
//   FIRMA=01;1;Muster GmbH      (number 1-99; client number; name)
//
// Single-company mode: exactly one entry, its data in the program directory. Multi-company mode:
// one or more entries, each company's data in the sub-directory FIRMAnn of the program directory.
// Entries keep the order of the file. Loading and saving keep comment lines where they are. A file
// that an editor saved as UTF-8 (with a byte-order mark, or unmistakably UTF-8 without one) is read
// as such and saved in the same encoding.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appcore/globals.h"
#include "appcore/messages.h"

namespace zentor::app {

inline constexpr std::string_view kRegistryFileName = "FIRMEN.TXT";
inline constexpr int kMaxMandant = 32767;  // the program keeps it as a 16-bit number

struct CompanyEntry {
  int nFirma = 0;    // 1..99
  int nMandant = 0;  // 0..kMaxMandant
  std::string cFirma;
  // Two-digit number, one blank, name: "01 Muster GmbH".
  std::string displayText() const;
  friend bool operator==(const CompanyEntry&, const CompanyEntry&) = default;
};

enum class RegistryMode { kSingle, kMulti };

// Why the registry could not be loaded, saved or changed. registryErrorText gives the German
// message for the user.
struct RegistryError {
  enum class Kind {
    kMissing,        // FIRMEN.TXT does not exist
    kEmpty,          // the file holds no company
    kNoMode,         // the MODUS line is missing
    kDamaged,        // a line of the file is wrong; `line` and `detail` (German) say which and why
    kUnreadable,     // the system refused to read the file; `detail` has its reason
    kUnwritable,     // the system refused to write the file; `detail` has its reason
    kDuplicate,      // add: the number is taken
    kOutOfRange,     // add: the number is not 1..99
    kBadMandant,     // add: the client number is not 0..kMaxMandant
    kEmptyName,      // add/rename: the name is empty or holds a line break or control character
    kUnstorableName, // add/rename: the name holds characters Windows-1252 cannot store
    kSingleFull,     // add: a single-company registry already has its entry
    kNotFound,       // rename: no entry with that number
  };
  Kind kind;
  int nFirma = 0;    // the company number concerned, where there is one
  int line = 0;      // kDamaged: 1-based line number
  std::string detail;
  std::string directory;  // kMissing: the program directory searched
};

std::string registryErrorText(const RegistryError& e);

class CompanyRegistry {
 public:
  explicit CompanyRegistry(RegistryMode mode = RegistryMode::kMulti) : mode_(mode) {}

  RegistryMode mode() const { return mode_; }
  const std::vector<CompanyEntry>& entries() const { return entries_; }
  const CompanyEntry* find(int nFirma) const;
  // The display texts of the entries, in registry order.
  std::vector<std::string> displayLines() const;

  // Appends an entry (the name is trimmed). Refuses, changing nothing: numbers outside 1..99 or
  // already taken, client numbers outside 0..kMaxMandant, an empty or unstorable name, a second
  // entry in single-company mode.
  std::optional<RegistryError> add(CompanyEntry entry);
  // Gives entry `nFirma` a new name, with the name rules of add.
  std::optional<RegistryError> rename(int nFirma, std::string_view name);

  // Reads FIRMEN.TXT of `programDir` (the name is found in any case). Every problem is an error:
  // a registry that loads is never empty and always has its mode.
  struct LoadResult;
  static LoadResult load(const std::string& programDir);
  // Writes FIRMEN.TXT of `programDir` atomically: comment lines and the places of the entries of
  // the loaded file are kept, new entries follow the last one.
  std::optional<RegistryError> save(const std::string& programDir) const;

 private:
  struct FileLine {
    std::string text;  // UTF-8, without line end
    int entry = -1;    // index into entries_ for FIRMA lines
    bool mode = false; // the MODUS line
  };
  enum class Encoding { kCp1252, kUtf8, kUtf8WithBom };
  RegistryMode mode_;
  Encoding encoding_ = Encoding::kCp1252;
  std::vector<CompanyEntry> entries_;
  std::vector<FileLine> lines_;  // the loaded file; empty for a new registry
};

struct CompanyRegistry::LoadResult {
  std::optional<CompanyRegistry> registry;  // set on success
  RegistryError error{RegistryError::Kind::kMissing};  // meaningful when !registry
  bool ok() const { return registry.has_value(); }
};

// "FIRMA" + two-digit number: "FIRMA01".
std::string companyDirectoryName(int nFirma);
// The data directory of company `nFirma` in multi-company mode: programDir + "FIRMAnn/", using
// an existing sub-directory of that name in any case ("firma01").
std::string companyDataDirectory(const std::string& programDir, int nFirma);

// Asks the user to pick one of the display lines; returns its index or nothing for cancel.
using CompanyChooser = std::function<std::optional<size_t>(const std::vector<std::string>& lines)>;

// Lets the user choose the company and sets the data directory. Single-company: the data
// directory becomes the program directory and the entry is returned without asking.
// Multi-company: `choose` is asked even for one entry; cancel (or an index out of range) returns
// nothing and leaves the data directory as it was; a choice sets it to the company's FIRMAnn
// directory. gnFirma, gnMandant and gcFirma are not touched (start-up copies them later).
std::optional<CompanyEntry> GETFIRMA(Globals& g, const CompanyRegistry& registry, const CompanyChooser& choose);

// False, after showing "Datenfiles im Programmverzeichnis" (title "ZENTOR", error icon, no owner),
// when the data directory differs from the program directory and the program directory holds
// AGR.DBF, ART.DBF, TXT.DBF, AKO.DBF, APO.DBF, any UMS*.DBF or FDT.INI (in any case). True
// otherwise, also in a single-company installation.
bool CHKPROJECTDIR(const Globals& g, MessageService& messages);

}  // namespace zentor::app
