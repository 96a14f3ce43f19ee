#include "ui/Translation.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tolvan::ui {
namespace {

constexpr const char* kMessageContext = "Message";

// The phrases of the messages the engine, the conditions files and the windows put together.
// Each is looked up as a whole and may have paths or numbers before and after it.
constexpr const char* kMessagePhrases[] = {
    // The progress window's states.
    QT_TRANSLATE_NOOP("Message", "マスタードライブ　チェック中!!"),
    QT_TRANSLATE_NOOP("Message", "バックアップドライブ　チェック中!!"),
    QT_TRANSLATE_NOOP("Message", "ミラーリング　実行中!!"),
    QT_TRANSLATE_NOOP("Message", "シミュレーション　実行中!!"),
    QT_TRANSLATE_NOOP("Message", "TLVDOS.BAT File　作成中!!"),
    QT_TRANSLATE_NOOP("Message", "バックアップ　実行中!!"),
    // Questions and refusals of a run.
    QT_TRANSLATE_NOOP("Message", " バックアップ用ディスクの空き容量を確認して下さい．"),
    QT_TRANSLATE_NOOP("Message", "  継続してもよろしいですか？"),
    QT_TRANSLATE_NOOP("Message", "バックアップ中にエラーが "),
    QT_TRANSLATE_NOOP("Message", " 件発生しました。レポートファイルを参照して下さい。"),
    QT_TRANSLATE_NOOP("Message",
                      "指定したドライブまたはディレクトリが同じです。バックアップを中止します。"),
    QT_TRANSLATE_NOOP("Message",
                      "ｔｖｆファイルで指定したドライブまたはディレクトリが存在しません。バックアッ"
                      "プを中止します。"),
    QT_TRANSLATE_NOOP("Message",
                      "プログラムのフォルダーがTo側に指定したフォルダーの中にあります。ミラーリング"
                      "を中止します。"),
    QT_TRANSLATE_NOOP(
        "Message",
        "From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。"),
    QT_TRANSLATE_NOOP("Message", "To側に指定したドライブまたはフォルダーにアクセスできません。"),
    QT_TRANSLATE_NOOP(
        "Message",
        "実行中にFrom側のフォルダーにアクセスできなくなりました。バックアップを中止しました。"),
    QT_TRANSLATE_NOOP(
        "Message",
        "実行中にTo側のフォルダーにアクセスできなくなりました。バックアップを中止しました。"),
    QT_TRANSLATE_NOOP("Message", "継続しますか？  Error Code : "),
    // The change limit: the question before a run beyond it, a simulation's counts, and a
    // conditions file's value that cannot be used.
    QT_TRANSLATE_NOOP("Message", "この実行でバックアップの "),
    QT_TRANSLATE_NOOP("Message", " 件中 "),
    QT_TRANSLATE_NOOP("Message", " 件を削除または置き換えます。続けますか？"),
    QT_TRANSLATE_NOOP("Message", "変更の上限 "),
    QT_TRANSLATE_NOOP("Message", " %: 削除 "),
    QT_TRANSLATE_NOOP("Message", " 件、置き換え "),
    QT_TRANSLATE_NOOP("Message", " 件（バックアップ "),
    QT_TRANSLATE_NOOP("Message", " 件中）。"),
    QT_TRANSLATE_NOOP("Message", "上限を超えるため、実際の実行は止まります。"),
    QT_TRANSLATE_NOOP("Message", "上限を超えないため、実際の実行は止まりません。"),
    QT_TRANSLATE_NOOP(
        "Message",
        " : ChangeLimit の値が 0 から 100 までの整数ではないため、変更の上限をオフにし"
        "ました。"),
    QT_TRANSLATE_NOOP("Message", " を開くことができませんでした。"),
    // Waiting for another run's report files.
    QT_TRANSLATE_NOOP("Message",
                      "現在、他のＴＬＶ３２が実行中か、レポートファイルに書き込みできません。"),
    QT_TRANSLATE_NOOP("Message",
                      "実行可能な状態になるまで待機中です。しばらくお待ち下さい。コピーを中止する場"
                      "合は、以下のボタンを押して下さい。"),
    // Conditions files and the restore batch file.
    QT_TRANSLATE_NOOP("Message", "の記述内容に誤りがあります。"),
    QT_TRANSLATE_NOOP("Message", "指定したドライブまたはフォルダーにアクセスできませんでした。"),
    QT_TRANSLATE_NOOP("Message", "ファイル出力条件を選択して下さい。"),
    QT_TRANSLATE_NOOP("Message", "以下の条件で、 "),
    QT_TRANSLATE_NOOP("Message", " と、このマシン用の "),
    QT_TRANSLATE_NOOP(
        "Message",
        " を作成します。\n（上記のファイルを作成するだけで、実際のコピー作業はしません。）"),
    QT_TRANSLATE_NOOP(
        "Message",
        "\n\n上記のファイルを作成しますか？\n（実行前に、必"
        "ず Help 内の「バッチファイルの使い方（tlvdos.bat / tlvdos.sh）」をお読み下さい"
        "。）"),
    QT_TRANSLATE_NOOP(
        "Message",
        "マスター側と違うファイルをバックアップ側にコピーするには、次のファイルを実行して下さい。"),
    QT_TRANSLATE_NOOP("Message", "Windows のマシンでは（コマンドプロンプトで）:"),
    QT_TRANSLATE_NOOP("Message", "このマシンでは（端末で）:"),
    QT_TRANSLATE_NOOP("Message", "Tolvane を終了します。"),
    // The windows' own messages.
    QT_TRANSLATE_NOOP("Message", "デバイスの準備ができていません。"),
    QT_TRANSLATE_NOOP("Message", " を保存できませんでした。"),
    QT_TRANSLATE_NOOP("Message", "実行中の処理を中断して終了しますか？"),
    QT_TRANSLATE_NOOP("Message", "OK: 次の項目で中断し、レポートを閉じてから終了します。"),
    QT_TRANSLATE_NOOP("Message", "Cancel: 処理を続けます。"),
    QT_TRANSLATE_NOOP("Message", "実行中の処理を中断しますか？"),
    QT_TRANSLATE_NOOP("Message", "OK: 次の項目で中断し、レポートを閉じます。"),
    QT_TRANSLATE_NOOP("Message", "レポートファイルを開けませんでした。"),
    QT_TRANSLATE_NOOP("Message", "レポートファイルはまだありません。"),
    QT_TRANSLATE_NOOP(
        "Message",
        "レポートファイルの最大サイズ（ＫＢ）は、1 から 32767 までの数値で指定して下さい。"),
};

std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

// Qt's own texts in Japanese.
std::unique_ptr<QTranslator>& QtTexts() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

// The phrases longest first, so that no phrase is cut by a shorter one inside it.
const std::vector<QString>& PhrasesLongestFirst() {
  static const std::vector<QString> phrases = [] {
    std::vector<QString> sorted;
    for (const char* phrase : kMessagePhrases) sorted.push_back(QString::fromUtf8(phrase));
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return sorted;
  }();
  return phrases;
}

}  // namespace

bool SpeaksEnglish(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || *value == '\0') continue;
    // "en", "en_GB.UTF-8", "en@quot"; not "eo" or "enm".
    return std::strncmp(value, "en", 2) == 0 && std::strchr("_.@", value[2]) != nullptr;
  }
  return false;
}

bool InstallTranslation() {
  if (Installed() != nullptr) return true;
  if (!SpeaksEnglish(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"))) {
    return false;
  }
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral(":/i18n/tolvan32_en.qm")) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return false;
  }
  Installed() = std::move(translator);
  return true;
}

bool InstallQtTranslation() {
  std::unique_ptr<QTranslator>& qtTexts = QtTexts();
  if (qtTexts != nullptr) return true;
  if (SpeaksEnglish(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"))) {
    return false;
  }
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return false;
  }
  qtTexts = std::move(translator);
  return true;
}

void RemoveTranslation() {
  for (std::unique_ptr<QTranslator>* translator : {&Installed(), &QtTexts()}) {
    if (*translator == nullptr) continue;
    QCoreApplication::removeTranslator(translator->get());
    translator->reset();
  }
}

QString TranslatedMessage(const std::string& text) {
  QString message = QString::fromStdString(text);
  if (Installed() == nullptr) return message;
  for (const QString& phrase : PhrasesLongestFirst()) {
    if (!message.contains(phrase)) continue;
    message.replace(phrase,
                    QCoreApplication::translate(kMessageContext, phrase.toUtf8().constData()));
  }
  return message;
}

}  // namespace tolvan::ui
