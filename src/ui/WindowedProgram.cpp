#include "ui/WindowedProgram.h"

#include <QApplication>
#include <QScreen>
#include <memory>

#include "conditions/Session.h"
#include "conditions/Startup.h"
#include "conditions/Tvf.h"
#include "engine/Engine.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/LinuxTrash.h"
#include "platform/QtSettingsStore.h"
#include "scheduler/ExitStatus.h"
#include "scheduler/FormSet.h"
#include "ui/MainWindow.h"
#include "ui/QuitSignals.h"

namespace tolvan::ui {
namespace {

constexpr int kTwipsPerPixel = 15;

// The message boxes, progress window and wait dialog of the windowed program.
std::unique_ptr<platform::WindowSystem> MakeWindowSystem() {
  return std::make_unique<platform::HeadlessWindowSystem>();
}

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

}  // namespace

int RunWindowed(const std::vector<std::string>& args, const CommandLine& /*commandLine*/) {
  int argc = 1;
  char programName[] = "tolvan32";
  char* argv[] = {programName, nullptr};
  QApplication application(argc, argv);
  // Message boxes close while the main window waits in the tray: only its closing ends the
  // program.
  QApplication::setQuitOnLastWindowClosed(false);

  platform::LinuxFileSystem fs;
  platform::LinuxSystemInfo sys;
  platform::LinuxTrash trash{fs};
  platform::QtSettingsStore settings;
  const std::unique_ptr<platform::WindowSystem> windowSystem = MakeWindowSystem();
  Engine engine{Services{fs, trash, *windowSystem, sys}};
  Session session{engine, settings};
  SetScreenSize(session.window);

  MainWindowServices services;
  services.windowSystem = windowSystem.get();
  services = WithDefaults(services);
  MainWindow window(session, services);
  session.formSet = [&](std::int16_t timer) {
    FormSet(session, timer);
    services.onGuiThread([&window] { window.refreshFromModel(); });
  };
  QObject::connect(&window, &MainWindow::closed, &application, &QCoreApplication::quit);
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
