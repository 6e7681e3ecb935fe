#include "app/prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace orvida::app {
namespace {

// Whose dialog it is, and where it goes.
struct Placement {
  QWidget* parent = nullptr;
  std::optional<QRect> over;  // centre the dialog over this part of the screen
};

// A window inside the host's window cannot be a dialog's parent: Qt wants a top-level window
// there (it warns and drops it) and would centre the dialog as if the host sat at the
// screen's corner. Such a window's dialogs go without a parent (still modal for the whole
// application), centred over where the window lies.
Placement PlaceFor(const HostEmbedder* embedder, QWidget* parent) {
  if (embedder && parent) {
    if (std::optional<QRect> area = embedder->EmbeddedGeometry(*parent)) return {nullptr, area};
  }
  return {parent, std::nullopt};
}

void CentreOver(QWidget& dialog, const QRect& area) {
  dialog.adjustSize();
  QRect geometry(QPoint(0, 0), dialog.size());
  geometry.moveCenter(area.center());
  if (QScreen* screen = QGuiApplication::screenAt(area.center())) {
    const QRect screen_area = screen->availableGeometry();
    geometry.moveLeft(std::max(screen_area.left(),
                               std::min(geometry.left(), screen_area.right() - geometry.width())));
    geometry.moveTop(std::max(screen_area.top(),
                              std::min(geometry.top(), screen_area.bottom() - geometry.height())));
  }
  dialog.move(geometry.topLeft());
}

void ShowBox(QMessageBox::Icon icon, const QString& text, const Placement& place) {
  QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::NoButton,
                  place.parent);
  QPushButton* accept = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
  box.setDefaultButton(accept);
  box.setEscapeButton(accept);
  if (place.over) CentreOver(box, *place.over);
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
  const Placement place = PlaceFor(embedder_, parent);
  QFileDialog dialog(place.parent, settings.title);
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
  if (place.over) CentreOver(dialog, *place.over);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first();
}

void QtPrompts::ShowMessage(const QString& text, QWidget* parent) {
  ShowBox(QMessageBox::NoIcon, text, PlaceFor(embedder_, parent));
}

void QtPrompts::ShowError(const QString& text, QWidget* parent) {
  ShowBox(QMessageBox::Critical, text, PlaceFor(embedder_, parent));
}

}  // namespace orvida::app
