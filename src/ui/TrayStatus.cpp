#include "ui/TrayStatus.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <optional>

#include "scheduler/TimeEntry.h"

namespace tolvan::ui {
namespace {

QString ResultText(const QString& result) {
  if (result == QLatin1String("finished"))
    return QCoreApplication::translate("TrayStatus", "正常終了");
  if (result == QLatin1String("errors"))
    return QCoreApplication::translate("TrayStatus", "エラーあり");
  if (result == QLatin1String("stopped")) return QCoreApplication::translate("TrayStatus", "中断");
  if (result == QLatin1String("refused"))
    return QCoreApplication::translate("TrayStatus", "実行せず");
  if (result == QLatin1String("side-lost"))
    return QCoreApplication::translate("TrayStatus", "フォルダーを見失い中止");
  return result;
}

bool CallsForAttention(const QString& result) {
  return result == QLatin1String("errors") || result == QLatin1String("refused") ||
         result == QLatin1String("side-lost");
}

// The ISO 8601 time as date and minute: "2026-12-07T03:00:12+09:00" -> "2026-12-07 03:00".
QString DateAndMinute(const QString& iso) {
  return iso.size() < 16 ? iso : iso.left(10) + QLatin1Char(' ') + iso.mid(11, 5);
}

QString TwoDigits(int value) {
  return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

void TrayStatus::readLastRun(const std::string& json) {
  const QJsonObject run = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
  ended_ = DateAndMinute(run.value(QLatin1String("ended")).toString());
  result_ = run.value(QLatin1String("result")).toString();
}

QString TrayStatus::runEnded(const std::string& json, bool startedByCopy) {
  readLastRun(json);
  badge_ = result_ == QLatin1String("errors");
  if (startedByCopy || !CallsForAttention(result_)) return {};
  return statusLine();
}

QString TrayStatus::statusLine() const {
  if (result_.isEmpty()) return {};
  return QCoreApplication::translate("TrayStatus", "前回: ") + ended_ + QLatin1Char(' ') +
         ResultText(result_);
}

QString TrayStatus::tip(const QString& title, const QString& nextRun) const {
  QString text = title;
  if (!result_.isEmpty()) text += QLatin1Char('\n') + statusLine();
  if (!nextRun.isEmpty())
    text += QLatin1Char('\n') + QCoreApplication::translate("TrayStatus", "次回: ") + nextRun;
  return text;
}

QString NextRunText(const JobConditions& job, DateTime now, std::int64_t steadyNowMs) {
  const std::optional<int> set = ParseClock(job.Time);
  if (job.Timer != 1 || !set) return {};
  if (job.DateMode == 0) return TwoDigits(*set / 60) + QLatin1Char(':') + TwoDigits(*set % 60);
  const std::int64_t intervalMs = (*set == 0 ? 24 * 60 : *set) * std::int64_t{60000};
  const std::int64_t leftMs =
      std::max<std::int64_t>(0, job.TimerStartMs + intervalMs - steadyNowMs);
  const platform::LocalTime next =
      SplitDateTime(now + static_cast<double>(leftMs) / 1000.0 / kSecondsPerDay);
  return TwoDigits(next.hour) + QLatin1Char(':') + TwoDigits(next.minute);
}

QIcon WithErrorBadge(const QIcon& icon) {
  constexpr int kSize = 64;
  QPixmap pixmap = icon.pixmap(kSize, kSize);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::white, 3));
  painter.setBrush(QColor(0xd0, 0x10, 0x10));
  painter.drawEllipse(kSize / 2, kSize / 2, kSize / 2 - 2, kSize / 2 - 2);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace tolvan::ui
