#include "conditions/DryRunCommands.h"

#include "conditions/Startup.h"
#include "engine/ExitStatus.h"
#include "engine/Paths.h"
#include "engine/RestoreBatch.h"
#include "engine/SimulationList.h"

namespace tolvan {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

// From and To as a command takes them: trimmed, one trailing "/" dropped.
std::string CommandPath(const std::string& field) {
  return StripOneTrailingSeparator(TrimBlanks(field));
}

// The settings key of each box, in the order of SimulationChoices::Box.
const char* KeyOf(std::size_t box) {
  return kSimulationChecks[box];
}

std::string BatchFilePath(const Session& session) {
  return ChildPath(session.engine.shared.AppPath, kBatchFileName);
}

std::string ShellFilePath(const Session& session) {
  return ChildPath(session.engine.shared.AppPath, kShellFileName);
}

// The batch file is for a Windows machine that reaches both sides; its shell twin for this one.
bool BatchConfirmed(Session& session, const std::string& from, const std::string& to) {
  const std::string question =
      "以下の条件で、 " + BatchFilePath(session) + " と、このマシン用の " + ShellFilePath(session) +
      " を作成します。\n（上記のファイルを作成するだけで、実際のコピー作業はしません。）\n\n   " +
      from + " -> " + to +
      "\n\n上記のファイルを作成しますか？\n"
      "（実行前に、必ず Help 内の「バッチファイルの使い方（tlvdos.bat / "
      "tlvdos.sh）」をお読み下さい。）";
  return session.engine.ui().messageBox(question, kProgramTitle, MessageIcon::Question,
                                        MessageButtons::YesNo) == MessageAnswer::Yes;
}

void ShowBatchUse(Session& session) {
  (void)session.engine.ui().messageBox(
      "マスター側と違うファイルをバックアップ側にコピーするには、次のファイルを実行して下さい。\n\n"
      "Windows のマシンでは（コマンドプロンプトで）:\n  " +
          BatchFilePath(session) + "\n\nこのマシンでは（端末で）:\n  sh " + ShellFilePath(session) +
          "\n\n\nTolvane を終了します。",
      kProgramTitle, MessageIcon::Information, MessageButtons::Ok);
}

}  // namespace

void SimulationChoices::load(Session& session) {
  for (std::size_t box = 0; box < checks.size(); ++box) {
    checks[box] = session.settings.get(kSimulationSection, KeyOf(box), "1") == "0" ? 0 : 1;
  }
  listPath = ChildPath(session.engine.shared.AppPath, kSimulationListName);
}

void SimulationChoices::setAllFiles(int checked) {
  checks[AllFiles] = checked;
  if (checked == 0) return;
  for (const Box box : {Newer, Older, SizeDiffers, MasterOnly, Same}) checks[box] = 1;
}

std::int16_t SimulationChoices::start(Session& session) const {
  for (std::size_t box = 0; box < checks.size(); ++box) {
    session.settings.set(kSimulationSection, KeyOf(box), std::to_string(checks[box]));
  }
  int mode = 0;
  const Box masterSide[] = {Newer, Older, SizeDiffers, MasterOnly, Same};
  for (int bit = 0; bit < 5; ++bit) mode += checks[masterSide[bit]] << bit;
  mode += checks[BackupOnly] * 32;
  return static_cast<std::int16_t>(mode);
}

SimulationOutcome SimulationCommand(Session& session, SimulationDialog& dialog) {
  const WindowModel& window = session.window;
  SimulationOutcome outcome = SimulateRun(session.engine, CommandPath(window.from.text),
                                          CommandPath(window.to.text), dialog);
  session.engine.ui().progress().close();
  return outcome;
}

RunOutcome mnuMakeBatFile_Click(Session& session) {
  const std::string from = CommandPath(session.window.from.text);
  const std::string to = CommandPath(session.window.to.text);
  RunOutcome outcome{RunEnd::Abandoned, 0};
  if (BatchConfirmed(session, from, to)) {
    outcome = MakeBatchFile(session.engine, from, to);
    session.engine.ui().progress().close();
  }
  ShowBatchUse(session);
  mnuQuit_Click(session, ExitStatusFor(outcome));
  return outcome;
}

std::int16_t KindsFromText(const std::string& text) {
  if (text == "all") return kAllDifferenceKinds;
  int mode = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string kind = text.substr(start, comma - start);
    if (kind.size() != 1 || kind[0] < '1' || kind[0] > '6') return 0;
    mode |= 1 << (kind[0] - '1');
    start = comma + 1;
  }
  return static_cast<std::int16_t>(mode);
}

}  // namespace tolvan
