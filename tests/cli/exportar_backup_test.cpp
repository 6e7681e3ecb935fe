// transorvida exportar and its backup: the report names the folder, which holds the tables as
// they were before the run; --sin-copia and --simular make none; ten copies are kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "convert/backup.h"
#include "tests/convert/convert_test_support.h"

namespace orvida::cli {
namespace {

namespace fs = std::filesystem;
using convert::testing::ScratchFolder;

const fs::path kDocument = fs::path(ORVIDA_TEST_DATA) / "bad_input" / "good_school.xml";

struct Outcome {
  int exit_code;
  std::string out;
  std::string err;
};

Outcome Exportar(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  Invocation call{args, out, err, {}};
  const int code = RunExportar(call);
  return {code, out.str(), err.str()};
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::map<std::string, std::string> FilesOf(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

// The folder named by the report's "Copia de seguridad: ..." line.
std::string ReportedBackup(const std::string& out) {
  const std::string label = "Copia de seguridad: ";
  const std::size_t at = out.find(label);
  if (at == std::string::npos) return {};
  const std::size_t end = out.find('\n', at);
  return out.substr(at + label.size(), end - at - label.size());
}

TEST(ExportarBackup, EachRunCopiesTheTablesItIsAboutToRebuild) {
  ScratchFolder working;
  const std::string folder = working.path().string();
  const Outcome first = Exportar({"--carpeta", folder, kDocument.string()});
  ASSERT_EQ(first.exit_code, kExitOk) << first.err;
  EXPECT_EQ(ReportedBackup(first.out), "ninguna (no hay tablas que copiar)");
  EXPECT_FALSE(fs::exists(working.path() / "copias"));

  auto before = FilesOf(working.path());
  ASSERT_EQ(before.size(), 9u);
  for (int run = 0; run < 12; ++run) {
    const Outcome again = Exportar({"--carpeta", folder, kDocument.string()});
    ASSERT_EQ(again.exit_code, kExitOk) << again.err;
    const std::string reported = ReportedBackup(again.out);
    const std::string suffix = " (8 tablas)";
    ASSERT_EQ(reported.rfind(folder + "/copias/", 0), 0u) << reported;
    ASSERT_EQ(reported.substr(reported.size() - suffix.size()), suffix);
    const fs::path backup = reported.substr(0, reported.size() - suffix.size());
    EXPECT_TRUE(convert::IsBackupFolderName(backup.filename().string()));
    EXPECT_TRUE(FilesOf(backup) == before) << backup;
    before = FilesOf(working.path());
    // Only the ten newest stay, the one just made among them.
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(working.path() / "copias")) {
      kept += convert::IsBackupFolderName(entry.path().filename().string());
    }
    EXPECT_EQ(kept, std::min(run + 1, convert::kBackupsKept));
  }
}

TEST(ExportarBackup, SinCopiaAndSimularMakeNone) {
  ScratchFolder working;
  const std::string folder = working.path().string();
  ASSERT_EQ(Exportar({"--carpeta", folder, kDocument.string()}).exit_code, kExitOk);

  const Outcome without = Exportar({"--sin-copia", "--carpeta", folder, kDocument.string()});
  ASSERT_EQ(without.exit_code, kExitOk) << without.err;
  EXPECT_EQ(ReportedBackup(without.out), "ninguna (--sin-copia)");
  const Outcome simulated = Exportar({"--simular", "--carpeta", folder, kDocument.string()});
  ASSERT_EQ(simulated.exit_code, kExitOk) << simulated.err;
  EXPECT_EQ(ReportedBackup(simulated.out), "");
  EXPECT_FALSE(fs::exists(working.path() / "copias"));

  const Outcome help = Exportar({"--help"});
  EXPECT_NE(help.out.find("--sin-copia"), std::string::npos);
  EXPECT_NE(help.out.find("copias\\AAAAMMDD-HHMMSS"), std::string::npos);
}

}  // namespace
}  // namespace orvida::cli
