#include "app/prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace orvida::app {
namespace {

void ShowBox(QMessageBox::Icon icon, const QString& text, QWidget* parent) {
  QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::NoButton,
                  parent);
  QPushButton* accept = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
  box.setDefaultButton(accept);
  box.setEscapeButton(accept);
  box.exec();
}

}  // namespace

bool OpenDialog::Execute(Prompts& prompts, QWidget* parent) {
  std::optional<QString> chosen = prompts.ChooseFile(*this, parent);
  if (!chosen) return false;
  file_name = *chosen;
  return true;
}

std::optional<QString> QtPrompts::ChooseFile(const OpenDialog& settings, QWidget* parent) {
  QFileDialog dialog(parent, settings.title);
  // A desktop theme's native dialog is not a QWidget and ignores some of these settings.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(settings.filter);
  dialog.setDefaultSuffix(settings.default_suffix);
  if (!settings.file_name.isEmpty()) {
    QFileInfo last(settings.file_name);
    dialog.setDirectory(last.absolutePath());
    dialog.selectFile(last.fileName());
  } else {
    dialog.setDirectory(QString::fromStdString(settings.initial_dir.string()));
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first();
}

void QtPrompts::ShowMessage(const QString& text, QWidget* parent) {
  ShowBox(QMessageBox::NoIcon, text, parent);
}

void QtPrompts::ShowError(const QString& text, QWidget* parent) {
  ShowBox(QMessageBox::Critical, text, parent);
}

}  // namespace orvida::app
