#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <optional>

#include "app/host_embedder.h"

class QWidget;

namespace orvida::app {

// The application title: the caption of every message box.
inline constexpr const char* kApplicationTitle = "TransOrvidaAldrena";

class Prompts;

// The settings of the file-open dialog both actions show, and the name it returned last.
// A plain object rather than a QFileDialog so that tests can answer it (see Prompts).
class OpenDialog : public QObject {
  Q_OBJECT

 public:
  explicit OpenDialog(QObject* parent = nullptr) : QObject(parent) {}

  QString title;                      // caption of the dialog
  QString filter;                     // shown and matched: "*.xml"
  QString default_suffix;             // added to a typed name without extension: "xml"
  std::filesystem::path initial_dir;  // where it opens while no file was chosen
  QString file_name;                  // the file it returned last; it reopens there

  // Shows the dialog through `prompts`; when the user accepts, remembers the chosen name.
  // Returns whether the user accepted.
  bool Execute(Prompts& prompts, QWidget* parent);
};

// The modal dialogs of the window. Production shows Qt dialogs; tests answer them in advance
// and record what was shown.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // Shows the file-open dialog with `dialog`'s settings. Returns the chosen file name, or
  // nothing when the user cancels. The chosen file need not exist.
  virtual std::optional<QString> ChooseFile(const OpenDialog& dialog, QWidget* parent) = 0;
  // A message box titled with the application title, with one button "Aceptar".
  virtual void ShowMessage(const QString& text, QWidget* parent) = 0;
  // The error box: the same, with the error icon.
  virtual void ShowError(const QString& text, QWidget* parent) = 0;
};

// QFileDialog (never the desktop's native dialog) and QMessageBox. With `embedder`, the dialogs
// of the window placed inside the host's window are centred over where it really is.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(const HostEmbedder* embedder = nullptr) : embedder_(embedder) {}
  std::optional<QString> ChooseFile(const OpenDialog& dialog, QWidget* parent) override;
  void ShowMessage(const QString& text, QWidget* parent) override;
  void ShowError(const QString& text, QWidget* parent) override;

 private:
  const HostEmbedder* embedder_;
};

}  // namespace orvida::app
