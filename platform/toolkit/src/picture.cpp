#include "toolkit/picture.h"

#include <string>

#include "appcore/format.h"

namespace zentor::toolkit {

Picture Picture::parse(const QString& picture) {
  Picture p;
  QString rest = picture;
  if (rest.startsWith(QLatin1Char('@'))) {
    const qsizetype blank = rest.indexOf(QLatin1Char(' '));
    const QString functions = rest.mid(1, blank < 0 ? -1 : blank - 1).toUpper();
    p.zeroBlank_ = functions.contains(QLatin1Char('Z'));
    p.upperAll_ = functions.contains(QLatin1Char('!'));
    rest = blank < 0 ? QString() : rest.mid(blank + 1);
  }
  p.mask_ = rest;
  bool afterPoint = false;
  for (QChar c : p.mask_) {
    if (c == QLatin1Char('.')) {
      afterPoint = true;
    } else if (c == QLatin1Char('9')) {
      (afterPoint ? p.decimals_ : p.integerDigits_) += 1;
    }
  }
  return p;
}

namespace {

bool accepts(QChar position, QChar c) {
  if (position == QLatin1Char('9')) return c.isDigit();
  return c.isPrint();  // "!"
}

}  // namespace

QValidator::State layOutText(const Picture& picture, int limit, QString& input, int& pos) {
  const QString& mask = picture.mask();
  if (mask.isEmpty()) {
    if (limit > 0 && input.size() > limit) return QValidator::Invalid;
    if (picture.upperAll()) input = input.toUpper();
    return QValidator::Acceptable;
  }

  QString out;
  int newPos = -1;
  int typed = 0;
  qsizetype t = 0;  // next template position
  for (qsizetype i = 0; i < input.size(); ++i) {
    if (i == pos) newPos = static_cast<int>(out.size());
    const QChar c = input[i];
    for (;;) {
      if (t >= mask.size()) return QValidator::Invalid;
      const QChar m = mask[t];
      if (!Picture::isInputPosition(m)) {
        out += m;
        ++t;
        if (c == m) break;  // the user typed the fixed character itself
        continue;           // stepped over it; c goes on the next position
      }
      if (accepts(m, c)) {
        out += (m == QLatin1Char('!')) ? c.toUpper() : c;
        ++t;
        ++typed;
        break;
      }
      // The fixed character that ends the current group closes it early.
      qsizetype k = t;
      while (k < mask.size() && Picture::isInputPosition(mask[k])) ++k;
      if (k < mask.size() && mask[k] == c) {
        out += c;
        t = k + 1;
        break;
      }
      return QValidator::Invalid;
    }
  }
  if (limit > 0 && typed > limit) return QValidator::Invalid;
  if (newPos < 0) newPos = static_cast<int>(out.size());
  input = picture.upperAll() ? out.toUpper() : out;
  pos = newPos;
  return QValidator::Acceptable;
}

QValidator::State checkNumber(const Picture& picture, int limit, QString& input, int& pos) {
  (void)pos;  // the text keeps its length, so the cursor stays where it is
  input.replace(QLatin1Char('.'), QLatin1Char(','));
  if (limit > 0 && input.size() > limit) return QValidator::Invalid;

  const bool free = picture.integerDigits() == 0 && picture.decimals() == 0;
  qsizetype comma = -1;
  int digits = 0;
  for (qsizetype i = 0; i < input.size(); ++i) {
    const QChar c = input[i];
    if (c.isDigit() && c.unicode() < 128) {
      ++digits;
    } else if (c == QLatin1Char('-') && i == 0) {
    } else if (c == QLatin1Char(',') && comma < 0 && (free || picture.decimals() > 0)) {
      comma = i;
    } else {
      return QValidator::Invalid;
    }
  }
  if (!free) {
    const qsizetype integerPart = comma < 0 ? input.size() : comma;
    const qsizetype fraction = comma < 0 ? 0 : input.size() - comma - 1;
    if (integerPart > picture.integerDigits() || fraction > picture.decimals()) {
      return QValidator::Invalid;
    }
  }
  if (digits == 0 && !input.isEmpty()) return QValidator::Intermediate;
  return QValidator::Acceptable;
}

QString formatNumber(double value, const Picture& picture) {
  const bool free = picture.integerDigits() == 0 && picture.decimals() == 0;
  const std::string text = free ? app::transformNumber(value, "")
                                : app::formatNumber(value, picture.decimals());
  if (picture.zeroBlank() && parseNumber(QString::fromStdString(text)) == 0.0) return QString();
  return QString::fromStdString(text);
}

double parseNumber(const QString& text) {
  return app::parseNumber(text.toStdString()).value_or(0.0);
}

PictureValidator::PictureValidator(Picture picture, bool numeric, int limit, QObject* parent)
    : QValidator(parent), picture_(std::move(picture)), numeric_(numeric), limit_(limit) {}

QValidator::State PictureValidator::validate(QString& input, int& pos) const {
  return numeric_ ? checkNumber(picture_, limit_, input, pos)
                  : layOutText(picture_, limit_, input, pos);
}

}  // namespace zentor::toolkit
