// INIFILE: a settings file in the Windows profile format ("[section]" lines and "key=value"
// lines), read and written the way the system's profile-string functions do it, so that other
// programs reading the file through those functions see the same keys and values.
//
// The file is Windows-1252 with CR LF line ends; the API speaks UTF-8 (characters that
// Windows-1252 cannot hold are written as '?'). Section and key names are compared without regard
// to case (including the accented letters of Windows-1252). Lines starting with ';' are comments.
// A file that an editor saved as UTF-8 (with a byte-order mark, or without one but unmistakably
// UTF-8) is read and written as UTF-8, so such an edit does not hide the first section.
// Lines outside any section, lines without '=' and comments are never reported but are kept
// untouched when the file is rewritten, as is the line end of every existing line.
//
// Every call reads the file afresh (another workstation may have changed it); nothing is cached.
// A write re-reads the file under a lock on its directory, changes only the lines it must and
// replaces the file atomically (temporary file + rename in the same directory).
//
// One value is one line: a value cannot hold a line break. Callers that must store one (the
// company data window) convert CR LF to the character 0xFF themselves.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentor::os {

class INIFILE {
 public:
  // Buffer sizes of the system functions the program's callers were written against: a value is
  // read through 1024 characters (at most 1023 returned), the key names of a section through 4096.
  static constexpr size_t kMaxValueLength = 1023;
  static constexpr size_t kSectionBuffer = 4096;

  // ".INI" is appended when the file name part of `fileName` has no '.'; a relative name is taken
  // relative to the current directory at construction time.
  explicit INIFILE(std::string fileName);

  // The absolute path of the file.
  const std::string& FULLPATH() const { return path_; }
  bool EXISTS() const;

  // The value of `key` in `section`: blanks around the '=' are removed, and one pair of matching
  // quotes (' or ") around the whole value is dropped, as the system functions do. The first of
  // duplicate keys wins. A missing key, section or file gives a single blank " "; a key written
  // with an empty value gives "". At most kMaxValueLength characters are returned.
  std::string GETSTRING(std::string_view section, std::string_view key) const;

  // True exactly when GETSTRING gives ".T." (".t." and " .T." are false).
  bool GETLOGIC(std::string_view section, std::string_view key) const;

  // Writes `key` = `value`, creating the file and the section when they are missing. A new
  // section goes to the end of the file (after an empty line unless the file is empty), a new key
  // after the last key of its section; an existing key keeps its line and spelling, only its
  // value changes. A value that the reading rules would alter (leading or trailing blanks, or
  // enclosed in matching quotes) is written inside double quotes so that it reads back exactly.
  // Returns false, writing nothing, when the section or key name is empty or unusable (']' in a
  // section, '=' in a key, a key starting with ';' or '['), when any of the three holds a line
  // break, or when the file cannot be written. The program's callers ignore the result.
  bool WRITESTRING(std::string_view section, std::string_view key, std::string_view value);

  // The key names of `section` in file order, each once (its first spelling); empty when the
  // section or file is missing. Names are collected as through a kSectionBuffer-character buffer:
  // each name costs its length + 1, and the list ends before the first name that would not fit
  // in kSectionBuffer - 1 characters.
  std::vector<std::string> GETSECTION(std::string_view section) const;

  // Removes every line of `key` in `section` (so no shadowed duplicate comes to light). A missing
  // file, section or key is no error and creates nothing. False only when the file cannot be
  // rewritten.
  bool DELETEENTRY(std::string_view section, std::string_view key);

 private:
  std::string path_;
  std::string dir_;
};

}  // namespace zentor::os
