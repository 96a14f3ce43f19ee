#include "ui/MessageText.h"

#include <QRegularExpression>
#include <QStringList>

namespace tolvan::ui {

MessageLayout LayOutMessage(const QString& text, const QFontMetrics& metrics, int width) {
  // A path is what stands between "' " and " '" and starts with "/".
  static const QRegularExpression quotedPath(QStringLiteral("'\\s*(/[^']*?)\\s*'"));
  QStringList shown;
  QStringList whole;
  bool shortened = false;
  qsizetype done = 0;
  const auto words = [&](qsizetype from, qsizetype to) {
    const QString part = text.mid(from, to - from).simplified();
    if (!part.isEmpty()) {
      shown << part;
      whole << part;
    }
  };
  for (auto match = quotedPath.globalMatch(text); match.hasNext();) {
    const QRegularExpressionMatch path = match.next();
    words(done, path.capturedStart());
    const QString full = path.captured(1);
    const QString fitted = metrics.elidedText(full, Qt::ElideMiddle, width);
    shortened = shortened || fitted != full;
    shown << fitted;
    whole << full;
    done = path.capturedEnd();
  }
  if (done == 0) return {text, {}};
  words(done, text.size());
  return {shown.join(QLatin1Char('\n')), shortened ? whole.join(QLatin1Char('\n')) : QString()};
}

}  // namespace tolvan::ui
