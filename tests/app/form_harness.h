#pragma once

// A TMForm whose dialogs, help viewer, embedder and runs are answered or recorded by the test,
// with drive C and the executable's folder in a temporary folder.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm.h"

namespace orvida::app::testing {

// Whether the application shows the wait cursor right now.
bool WaitCursorShown();

// Answers the file dialog from a script and records every dialog and message box.
class ScriptedPrompts : public Prompts {
 public:
  struct Shown {
    QString kind;  // "dialog", "message" or "error"
    QString text;  // the message; for a dialog, the file name it opened on
    bool wait_cursor = false;
  };

  // The next answers of the file dialog: a file name, or nothing for Cancel. A dialog without
  // a scripted answer is recorded as "unexpected dialog" and cancelled.
  std::deque<std::optional<QString>> answers;
  std::vector<Shown> shown;
  // Runs while each dialog or box is on screen (after it is recorded), e.g. to make the host
  // go away while the user has not answered yet.
  std::function<void(Shown)> while_shown;
  // The settings of the last file dialog shown.
  QString title, filter, default_suffix, file_name;
  std::filesystem::path initial_dir;

  std::optional<QString> ChooseFile(const OpenDialog& dialog, QWidget* parent) override;
  void ShowMessage(const QString& text, QWidget* parent) override;
  void ShowError(const QString& text, QWidget* parent) override;

  // The texts of the message and error boxes, in order ("error: ..." for error boxes).
  QStringList Boxes() const;
  int Dialogs() const;
};

class RecordingHelp : public HelpViewer {
 public:
  struct Request {
    std::filesystem::path file;
    int context = 0;  // 0 for the contents
  };
  std::vector<Request> requests;
  void ShowContents(const std::filesystem::path& help_file) override;
  void ShowTopic(const std::filesystem::path& help_file, int context) override;
};

class RecordingEmbedder : public HostEmbedder {
 public:
  std::vector<std::uint32_t> hosts;
  bool Embed(QWidget& window, std::uint32_t host_window) override;
  // As when the host's window is destroyed: runs the window's handler.
  void DestroyHost() { NotifyHostDestroyed(); }
};

// The real runs, or stand-ins that do nothing, recording what each call saw; one call can be
// made to fail with an orvida::Error.
class RecordingRuns : public ActionRuns {
 public:
  struct Call {
    std::string name;  // "LoadDocument", "Convert", "ImportTimetable"
    std::filesystem::path file;
    std::string shown_path;
    std::filesystem::path folder;
    bool wait_cursor = false;
  };

  explicit RecordingRuns(bool real) : ActionRuns(FixedClock()), real_(real) {}
  static os::Clock FixedClock();

  std::vector<Call> calls;
  std::string fail_in;       // the call that throws
  std::string fail_message;  // its message

  formats::ExchangeDocument LoadDocument(const std::filesystem::path& file,
                                         const std::string& shown_path) override;
  void Convert(const formats::ExchangeDocument& document,
               const formats::WorkingFolder& folder) override;
  void ImportTimetable(const std::filesystem::path& file, const std::string& shown_path,
                       const formats::WorkingFolder& folder) override;
  std::vector<std::string> Names() const;

 private:
  void Record(Call call);
  bool real_;
};

// Everything a TMForm needs, in a temporary folder:
//   <tmp>/drive_c       the folder standing for drive C: (with KTEMP)
//   <tmp>/programa      the executable's folder, where Velmora.ini goes
class FormHarness {
 public:
  explicit FormHarness(bool real_runs = false);
  std::unique_ptr<TMForm> Make(const QStringList& parameters);

  std::filesystem::path root() const;
  std::filesystem::path drive_c() const { return root() / "drive_c"; }
  std::filesystem::path ktemp() const { return drive_c() / "KTEMP"; }
  std::filesystem::path program_folder() const { return root() / "programa"; }
  std::filesystem::path ini_file() const { return program_folder() / "Velmora.ini"; }
  // Writes `bytes` to `name` under the temporary folder and returns its path as a QString.
  QString WriteFile(const std::string& name, const std::string& bytes) const;

  ScriptedPrompts prompts;
  RecordingHelp help;
  RecordingEmbedder embedder;
  RecordingRuns runs;

 private:
  QTemporaryDir temp_;
};

std::string ReadBytes(const std::filesystem::path& file);

}  // namespace orvida::app::testing
