#include "tests/app/form_harness.h"

#include <QGuiApplication>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <sstream>

#include "platform/os/error.h"

namespace orvida::app::testing {

bool WaitCursorShown() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor;
}

std::optional<QString> ScriptedPrompts::ChooseFile(const OpenDialog& dialog, QWidget*) {
  title = dialog.title;
  filter = dialog.filter;
  default_suffix = dialog.default_suffix;
  file_name = dialog.file_name;
  initial_dir = dialog.initial_dir;
  shown.push_back({QStringLiteral("dialog"), dialog.file_name, WaitCursorShown()});
  if (while_shown) while_shown(shown.back());
  if (answers.empty()) {
    shown.push_back({QStringLiteral("unexpected dialog"), QString(), WaitCursorShown()});
    return std::nullopt;
  }
  std::optional<QString> answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedPrompts::ShowMessage(const QString& text, QWidget*) {
  shown.push_back({QStringLiteral("message"), text, WaitCursorShown()});
  if (while_shown) while_shown(shown.back());
}

void ScriptedPrompts::ShowError(const QString& text, QWidget*) {
  shown.push_back({QStringLiteral("error"), text, WaitCursorShown()});
  if (while_shown) while_shown(shown.back());
}

QStringList ScriptedPrompts::Boxes() const {
  QStringList boxes;
  for (const Shown& box : shown) {
    if (box.kind == QLatin1String("message")) boxes << box.text;
    if (box.kind == QLatin1String("error")) boxes << QStringLiteral("error: ") + box.text;
    if (box.kind == QLatin1String("unexpected dialog")) boxes << box.kind;
  }
  return boxes;
}

int ScriptedPrompts::Dialogs() const {
  int count = 0;
  for (const Shown& box : shown) count += box.kind == QLatin1String("dialog");
  return count;
}

void RecordingHelp::ShowContents(const std::filesystem::path& help_file) {
  requests.push_back({help_file, 0});
}

void RecordingHelp::ShowTopic(const std::filesystem::path& help_file, int context) {
  requests.push_back({help_file, context});
}

bool RecordingEmbedder::Embed(QWidget&, std::uint32_t host_window) {
  hosts.push_back(host_window);
  return false;
}

os::Clock RecordingRuns::FixedClock() {
  return [] { return std::chrono::system_clock::time_point(std::chrono::seconds(1789000000)); };
}

void RecordingRuns::Record(Call call) {
  call.wait_cursor = WaitCursorShown();
  const std::string name = call.name;
  calls.push_back(std::move(call));
  if (fail_in == name) throw Error(fail_message);
}

formats::ExchangeDocument RecordingRuns::LoadDocument(const std::filesystem::path& file,
                                                      const std::string& shown_path) {
  Record({"LoadDocument", file, shown_path, {}, false});
  if (real_) return ActionRuns::LoadDocument(file, shown_path);
  return formats::ExchangeDocument::FromXml(xml::Document(), shown_path);
}

void RecordingRuns::Convert(const formats::ExchangeDocument& document,
                            const formats::WorkingFolder& folder) {
  Record({"Convert", {}, document.shown_path(), folder.folder(), false});
  if (real_) ActionRuns::Convert(document, folder);
}

void RecordingRuns::ImportTimetable(const std::filesystem::path& file,
                                    const std::string& shown_path,
                                    const formats::WorkingFolder& folder) {
  Record({"ImportTimetable", file, shown_path, folder.folder(), false});
  if (real_) ActionRuns::ImportTimetable(file, shown_path, folder);
}

std::vector<std::string> RecordingRuns::Names() const {
  std::vector<std::string> names;
  for (const Call& call : calls) names.push_back(call.name);
  return names;
}

FormHarness::FormHarness(bool real_runs) : runs(real_runs) {
  std::filesystem::create_directories(ktemp());
  std::filesystem::create_directories(program_folder());
}

std::filesystem::path FormHarness::root() const {
  return std::filesystem::path(temp_.path().toStdString());
}

std::unique_ptr<TMForm> FormHarness::Make(const QStringList& parameters) {
  FormServices services;
  services.drive_c = drive_c();
  services.ini_file = HostIniFile(program_folder());
  services.prompts = &prompts;
  services.help = &help;
  services.embedder = &embedder;
  services.runs = &runs;
  return std::make_unique<TMForm>(parameters, services);
}

QString FormHarness::WriteFile(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path file = root() / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
  return QString::fromStdString(file.string());
}

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace orvida::app::testing
