#pragma once

#include <QString>
#include <filesystem>

namespace orvida::app {

// The help system: a compiled help file (.chm) shown by a viewer.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Opens the table of contents of `help_file`. Throws orvida::Error with a Spanish message
  // when the file or the viewer is missing.
  virtual void ShowContents(const std::filesystem::path& help_file) = 0;
  // Opens the topic with context number `context`.
  virtual void ShowTopic(const std::filesystem::path& help_file, int context) = 0;
};

// Debian's xchm, started without waiting for it: `xchm FILE` for the contents,
// `xchm -c N FILE` for a topic.
class XchmHelpViewer : public HelpViewer {
 public:
  // `program`: the viewer, found on PATH unless it is a path.
  explicit XchmHelpViewer(QString program = QStringLiteral("xchm"));
  void ShowContents(const std::filesystem::path& help_file) override;
  void ShowTopic(const std::filesystem::path& help_file, int context) override;

 private:
  void Start(const std::filesystem::path& help_file, const QStringList& options);
  QString program_;
};

}  // namespace orvida::app
