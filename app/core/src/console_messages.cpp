#include "appcore/console_messages.h"

#include <unistd.h>

#include <iostream>
#include <string>


namespace zentor::app {
namespace {

void writeHead(std::ostream& out, const char* kind, const Message& m) {
  out << kind;
  if (!m.title.empty()) out << " (" << m.title << ")";
  out << ": " << m.text;
}

std::string trimmedLower(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  size_t start = 0;
  while (start < s.size() && (s[start] == ' ' || s[start] == '\t')) ++start;
  s.erase(0, start);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

ConsoleMessageService::ConsoleMessageService()
    : ConsoleMessageService(std::cerr, std::cin, ::isatty(STDIN_FILENO) == 1) {}

ConsoleMessageService::ConsoleMessageService(std::ostream& out, std::istream& in, bool interactive)
    : out_(&out), in_(&in), interactive_(interactive) {}

void ConsoleMessageService::show(const Message& m) {
  writeHead(*out_, m.kind == MessageKind::kInformation ? "Hinweis" : "Fehler", m);
  *out_ << '\n' << std::flush;
}

bool ConsoleMessageService::ask(const Message& m) {
  writeHead(*out_, "Frage", m);
  *out_ << " [j/n] ";
  if (preset_) {
    *out_ << (*preset_ ? "j" : "n") << '\n' << std::flush;
    return *preset_;
  }
  if (!interactive_) {
    *out_ << "n (keine Eingabe möglich)\n" << std::flush;
    return false;
  }
  *out_ << std::flush;
  std::string line;
  while (std::getline(*in_, line)) {
    const std::string a = trimmedLower(line);
    if (a == "j" || a == "ja" || a == "y" || a == "yes") return true;
    if (a.empty() || a == "n" || a == "nein" || a == "no") return false;
    *out_ << "Bitte j oder n eingeben: " << std::flush;
  }
  *out_ << '\n' << std::flush;
  return false;
}

}  // namespace zentor::app
