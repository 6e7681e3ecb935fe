#include "app/help_viewer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <system_error>

#include "platform/os/error.h"

namespace orvida::app {

XchmHelpViewer::XchmHelpViewer(QString program) : program_(std::move(program)) {}

void XchmHelpViewer::ShowContents(const std::filesystem::path& help_file) { Start(help_file, {}); }

void XchmHelpViewer::ShowTopic(const std::filesystem::path& help_file, int context) {
  Start(help_file, {QStringLiteral("-c"), QString::number(context)});
}

void XchmHelpViewer::Start(const std::filesystem::path& help_file, const QStringList& options) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(help_file, error)) {
    throw Error("No se encuentra el archivo de ayuda " + help_file.string() +
                "; no se puede mostrar la ayuda.");
  }
  QString executable = program_.contains(QLatin1Char('/'))
                           ? (QFileInfo(program_).isExecutable() ? program_ : QString())
                           : QStandardPaths::findExecutable(program_);
  if (executable.isEmpty()) {
    throw Error("No se encuentra el visor de ayuda " + program_.toStdString() +
                " (instale el paquete xchm); no se puede mostrar la ayuda " + help_file.string() +
                ".");
  }
  QStringList arguments = options;
  arguments << QString::fromStdString(help_file.string());
  if (!QProcess::startDetached(executable, arguments)) {
    throw Error("No se pudo iniciar el visor de ayuda " + executable.toStdString() + ".");
  }
}

}  // namespace orvida::app
