// The run's question shows each side's path on a line of its own, shortened in its middle
// when it is too long, with the whole paths in the details.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "platform/fake/FakeSettingsStore.h"
#include "ui/QtWindowSystem.h"

namespace tolvan::ui::testing {
namespace {

struct Shown {
  QStringList lines;
  QString details;
  int widest = 0;
  int room = 0;  // the width of the box's text
};

Shown AskAndLook(QtWindowSystem& ws, const std::string& text) {
  Shown shown;
  QTimer::singleShot(0, [&shown] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    shown.lines = box->text().split(QLatin1Char('\n'));
    shown.details = box->detailedText();
    if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
      shown.room = label->contentsRect().width();
      for (const QString& line : shown.lines)
        shown.widest = std::max(shown.widest, label->fontMetrics().horizontalAdvance(line));
    }
    box->reject();
  });
  (void)ws.messageBox(text, "Tolvan32", platform::MessageIcon::Exclamation,
                      platform::MessageButtons::OkCancel);
  return shown;
}

TEST(MessageBoxPathsTest, EachPathOnItsOwnLineShortenedInTheMiddleWithTheWholeInTheDetails) {
  platform::FakeSettingsStore settings;
  QtWindowSystem ws(settings);
  const QString longPath = QStringLiteral("/srv/archive/") + QString(30, QLatin1Char('x')) +
                           QStringLiteral("/") + QString(40, QLatin1Char('y')) +
                           QStringLiteral("/photos/2024/summer/end-of-path");
  struct Case {
    QString from, to;
    bool shortened;
  };
  const Case cases[] = {
      {QStringLiteral("/home/a/master"), QStringLiteral("/mnt/b/backup"), false},
      {longPath, QStringLiteral("/mnt/b/backup"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from.toStdString());
    const Shown shown = AskAndLook(ws, "  Copy from   ' " + c.from.toStdString() + " '   to   ' " +
                                           c.to.toStdString() + " '  ");
    ASSERT_EQ(shown.lines.size(), 4) << shown.lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(shown.lines[0], QStringLiteral("Copy from"));
    EXPECT_EQ(shown.lines[2], QStringLiteral("to"));
    EXPECT_EQ(shown.lines[3], c.to);
    EXPECT_GT(shown.room, 0);
    EXPECT_LE(shown.widest, shown.room);  // no line is wrapped
    if (c.shortened) {
      EXPECT_TRUE(shown.lines[1].startsWith(QStringLiteral("/srv/archive/")));
      EXPECT_TRUE(shown.lines[1].endsWith(QStringLiteral("end-of-path")));
      EXPECT_TRUE(shown.details.split(QLatin1Char('\n')).contains(c.from));
    } else {
      EXPECT_EQ(shown.lines[1], c.from);
      EXPECT_TRUE(shown.details.isEmpty());
    }
  }
}

}  // namespace
}  // namespace tolvan::ui::testing
