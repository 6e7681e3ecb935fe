// TransOrvidaAldrena: the window between the school-administration system and the timetabling
// program. Started by hand it is an ordinary dialog; started by the timetabling program with an
// action word and its window's handle, it runs that action inside the host's window and leaves
// the result code in the host's Velmora.ini.

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>
#include <optional>
#include <string>

#include "app/MainForm.h"
#include "app/action_runs.h"
#include "app/help_viewer.h"
#include "app/host_embedder.h"
#include "app/prompts.h"
#include "platform/os/local_time.h"
#include "platform/os/paths.h"

namespace {

std::optional<std::string> Environment(const char* name) {
  if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
  return qEnvironmentVariable(name).toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace orvida;

  // The host's window is an X11 window (also when the host runs under Wine), and only an X11
  // window can be placed inside it: a Wayland session must not get the Wayland plugin here.
  if (argc == 3 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication application(argc, argv);
  // Qt takes the whole locale from the environment; numbers in tables and files stay in the C
  // notation, while dates and times in documents follow the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "");
  QApplication::setApplicationName(QString::fromLatin1(app::kApplicationTitle));
  // The window speaks Spanish whatever the desktop's language: so do Qt's own dialogs.
  QTranslator qt_spanish;
  if (qt_spanish.load(QStringLiteral("qtbase_es"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qt_spanish);
  }

  const os::DriveCEnvironment environment{Environment("TRANSORVIDA_DRIVE_C"),
                                          Environment("WINEPREFIX"), Environment("HOME")};
  std::unique_ptr<app::HostEmbedder> embedder = app::CreateHostEmbedder();
  app::QtPrompts prompts(embedder.get());
  app::XchmHelpViewer help;
  app::ActionRuns runs(os::SystemClock());

  app::FormServices services;
  services.drive_c = os::DriveCFolder(environment);
  services.ini_file = app::HostIniFile(std::filesystem::path(
      QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString()));
  services.prompts = &prompts;
  services.help = &help;
  services.embedder = embedder.get();
  services.runs = &runs;

  app::TMForm form(QCoreApplication::arguments().mid(1), services);
  // A window inside the host's window is not a top-level window to Qt: its close does not end
  // the event loop by itself.
  QObject::connect(
      &form, &app::TMForm::Closed, &application, [] { QCoreApplication::exit(0); },
      Qt::QueuedConnection);
  form.show();
  // An automatic action that closed the window before it appeared has ended the program.
  if (form.closed()) return 0;
  return application.exec();
}
