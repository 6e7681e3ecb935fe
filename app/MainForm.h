#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/action_runs.h"
#include "app/gradient_panel.h"
#include "app/help_viewer.h"
#include "app/host_embedder.h"
#include "app/prompts.h"
#include "formats/working_tables.h"

class QLabel;
class QPushButton;

namespace orvida::app {

// The help file, on drive C wherever that lies on this machine.
inline constexpr const char* kHelpFile = "\\VLMRM8\\ALDRENA.chm";
// The help topic of the window and of every control in it.
inline constexpr int kHelpContext = 3;

// The host's configuration file in `folder` (the executable's folder): an existing file named
// Velmora.ini in any letter case, as Windows would find it; otherwise <folder>/Velmora.ini.
std::filesystem::path HostIniFile(const std::filesystem::path& folder);

// What the window takes from outside. main() fills it from the process environment; tests
// give temporary folders and answer the dialogs. Null services get the production ones
// (Qt dialogs, xchm, no embedding, the real runs with the system clock).
struct FormServices {
  std::filesystem::path drive_c;   // the folder that stands for drive C:
  std::filesystem::path ini_file;  // where the result code goes (see HostIniFile)
  Prompts* prompts = nullptr;
  HelpViewer* help = nullptr;
  HostEmbedder* embedder = nullptr;
  ActionRuns* runs = nullptr;
};

// The main window: exportar on the left, importar on the right, help and exit along the
// bottom. Started with exactly two parameters (action word, host window handle in
// hexadecimal) it runs the host protocol: the action starts by itself, the window closes when
// it ends, and the result code is left in the host's Velmora.ini.
class TMForm : public QDialog {
  Q_OBJECT

 public:
  // `parameters`: the command-line parameters, without the program's name.
  TMForm(QStringList parameters, FormServices services, QWidget* parent = nullptr);
  ~TMForm() override;

  // The controls, under the names the host's documentation uses (also their object names).
  GradientPanel* Draw3D1 = nullptr;
  GradientPanel* Draw3D2 = nullptr;
  QPushButton* BExportar = nullptr;
  QPushButton* BClose = nullptr;
  QLabel* Label3 = nullptr;
  GradientPanel* Draw3D3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* BImportar = nullptr;
  OpenDialog* OpenDialogXML = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Button1 = nullptr;

  // The handlers. FormCreate runs in the constructor, FormShow on the first show (before the
  // window appears), FormClose on every close; the others on their buttons.
  void FormCreate();
  void FormShow();
  void FormClose(QCloseEvent& event);
  void BExportarClick();
  void BImportarClick();
  void Button1Click();
  // The host's window was destroyed while this window sat inside it (the host ended): writes
  // the result code as FormClose does and marks the window closed. Nothing more is shown; the
  // embedder ends the event loops.
  void HostWindowDestroyed();

  // The window tables' binding: the working folder C:\KTEMP on this machine.
  formats::WorkingFolder WorkingTables() const;

  int result_code() const { return result_code_; }
  bool embedded() const { return embedded_; }
  const QString& document_path() const { return document_path_; }
  const std::filesystem::path& help_file() const { return help_file_; }
  // Whether the window has been closed (also when an automatic action closed it before it
  // ever appeared, or the host's window went away).
  bool closed() const { return closed_; }
  bool host_gone() const { return host_gone_; }

  void setVisible(bool visible) override;

 signals:
  // The window has closed for good (FormClose let it close). Inside the host's window the
  // application does not see its last window close, so main() ends the program on this.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Escape does not close the window: only BClose and the title bar's close button do.
  void reject() override {}

 private:
  void BuildControls();
  // Runs an action's frame: `action` returns true when the action ran to its end. Errors are
  // shown in the error box and leave the window open with the result code unchanged.
  template <typename Action>
  void RunFrame(Action action);
  // Steps 1 and 2 of both frames: the file dialog and the existence test. Returns the
  // document's path, or nothing after "No existe archivo".
  std::optional<std::filesystem::path> ChooseDocument();
  void ShowHelpTopic(int context);
  std::filesystem::path MapPath(const char* windows_path) const;
  // Writes the result code to the host's Velmora.ini (embedded mode).
  void WriteResultCode() const;

  QStringList parameters_;
  std::filesystem::path drive_c_;
  std::filesystem::path ini_file_;
  Prompts* prompts_;
  HelpViewer* help_;
  HostEmbedder* embedder_;
  ActionRuns* runs_;
  std::unique_ptr<Prompts> own_prompts_;
  std::unique_ptr<HelpViewer> own_help_;
  std::unique_ptr<HostEmbedder> own_embedder_;
  std::unique_ptr<ActionRuns> own_runs_;

  std::filesystem::path help_file_;
  QString document_path_;
  int result_code_ = 0;
  bool embedded_ = false;
  bool show_handled_ = false;
  bool closed_ = false;
  bool host_gone_ = false;
};

}  // namespace orvida::app
