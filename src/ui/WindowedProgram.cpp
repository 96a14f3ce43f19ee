#include "ui/WindowedProgram.h"

#include <QApplication>
#include <QScreen>
#include <QSessionManager>

#include "conditions/Session.h"
#include "conditions/Startup.h"
#include "conditions/Tvf.h"
#include "engine/Engine.h"
#include "engine/ExitStatus.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/LinuxTrash.h"
#include "platform/QtSettingsStore.h"
#include "scheduler/ChangeLimitControl.h"
#include "scheduler/FormSet.h"
#include "ui/EditorSettingsDialog.h"
#include "ui/ExclusionsDialog.h"
#include "ui/GuiThread.h"
#include "ui/HelpWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtWindowSystem.h"
#include "ui/QuitSignals.h"
#include "ui/ReportViewer.h"
#include "ui/SimulateDialog.h"
#include "ui/Translation.h"
#include "ui/WorkerRun.h"

namespace tolvan::ui {
namespace {

constexpr int kTwipsPerPixel = 15;

void SetScreenSize(WindowModel& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window.screenWidth = screen->availableGeometry().width() * kTwipsPerPixel;
    window.screenHeight = screen->availableGeometry().height() * kTwipsPerPixel;
  }
}

void ShowMainWindow(MainWindow& window, const Session& session) {
  window.finishLoading();
  if (session.window.minimized) {
    window.showMinimized();
  } else {
    window.show();
  }
}

// The dialogs behind the main window's menu commands and buttons, owned by `*window` once it
// exists.
void ConnectDialogs(MainWindowServices& services, Session& session, MainWindow* const& window) {
  services.editorSettings = [&session, &window] {
    EditorSettingsDialog dialog(session, window);
    (void)dialog.exec();
  };
  services.showReport = [&session, &window, &services](const std::string& name) {
    ShowReport(session, *services.windowSystem, window, name);
  };
  services.askSimulation = [&session, &window](std::int16_t& mode, std::string& listPath) {
    return AskSimulation(session, window, mode, listPath);
  };
  services.helpTopics = [&window] { ShowHelpTopics(window); };
  services.exclusions = [&session, &window] {
    ExclusionsDialog dialog(session, window);
    (void)dialog.exec();
  };
}

}  // namespace

int RunWindowed(const std::vector<std::string>& args, const CommandLine& /*commandLine*/) {
  int argc = 1;
  char programName[] = "tolvan32";
  char* argv[] = {programName, nullptr};
  QApplication application(argc, argv);
  (void)InstallTranslation();    // Japanese stays when there is no English to install
  (void)InstallQtTranslation();  // and then Qt's stock dialogs speak Japanese too
  // Message boxes close while the main window waits in the tray: only its closing ends the
  // program.
  QApplication::setQuitOnLastWindowClosed(false);

  platform::LinuxFileSystem fs;
  platform::LinuxSystemInfo sys;
  platform::LinuxTrash trash{fs};
  platform::QtSettingsStore settings;
  QtWindowSystem windowSystem{settings};
  Engine engine{Services{fs, trash, windowSystem, sys}};
  windowSystem.watchStopFlag(&engine.run.StopFlag);
  Session session{engine, settings};
  SetScreenSize(session.window);

  MainWindowServices services;
  services.windowSystem = &windowSystem;
  // Engine work runs on a worker thread, so the windows repaint and "中断" is heard at once.
  services.runEngine = [](const std::function<void()>& work) { return RunOnWorker(work); };
  services.onGuiThread = [](const std::function<void()>& call) { CallOnGuiThread(call); };
  MainWindow* windowForDialogs = nullptr;
  ConnectDialogs(services, session, windowForDialogs);
  services = WithDefaults(services);
  MainWindow window(session, services);
  windowForDialogs = &window;
  windowSystem.setMainWindow(&window);
  windowSystem.setRestoreHandler([&window] { window.restoreAfterRun(); });
  session.formSet = [&](std::int16_t timer) {
    FormSet(session, timer);
    services.onGuiThread([&window] { window.refreshFromModel(); });
    TellUnreadableChangeLimit(session);
  };
  QObject::connect(&window, &MainWindow::closed, &application, &QCoreApplication::quit);
  // The desktop session ends: a run stops and its report is finished before the program ends.
  QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager& /*manager*/) { window.endSession(); });
  const QuitSignals quitSignals(
      engine.run.StopFlag, [&session] { return session.window.runActive; },
      [&window] { window.close(); });

  StartupOutcome start;
  (void)services.runEngine([&] { start = FormLoad(session, args); });
  window.refreshFromModel();
  if (session.endRequested) {
    FormUnload(session);
    return session.endStatus;
  }
  session.window.shown = true;
  ShowMainWindow(window, session);
  (void)QApplication::exec();
  return session.endRequested ? session.endStatus : kExitSuccess;
}

}  // namespace tolvan::ui
