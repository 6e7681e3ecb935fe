// The frames of exportar and importar: file dialog, existence test, wait cursor, messages,
// result code and errors. Most cases record the runs; the last ones run the real conversion and
// timetable runs in a temporary drive C.

#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "platform/dbase/table.h"
#include "tests/app/form_harness.h"
#include "tools/host_simulation.h"

using orvida::app::TMForm;
using orvida::app::testing::FormHarness;
using orvida::app::testing::WaitCursorShown;

class ActionFramesTest : public QObject {
  Q_OBJECT

 private slots:
  void DialogHasTheSettingsOfOpenDialogXML();
  void ExportarLoadsBeforeTheWaitCursorAndConvertsUnderIt();
  void ImportarShowsTheWaitCursorBeforeTheRun();
  void NoFileMeansNoExisteArchivo_data();
  void NoFileMeansNoExisteArchivo();
  void ErrorInsideTheRunIsShownAndChangesNothingElse_data();
  void ErrorInsideTheRunIsShownAndChangesNothingElse();
  void TwoActionsByHandTheSecondCancelled();
  void RealExportarThenImportar();
  void RealImportarWithoutTablesNamesTheTable();
  void RealExportarOfAMalformedDocumentNamesTheFile();
};

void ActionFramesTest::DialogHasTheSettingsOfOpenDialogXML() {
  FormHarness harness;
  // c:\ktemp\sauce is found in whatever letter case it has on disk.
  std::filesystem::create_directories(harness.ktemp() / "Sauce");
  auto form = harness.Make({});
  QCOMPARE(form->OpenDialogXML->objectName(), QStringLiteral("OpenDialogXML"));
  harness.prompts.answers.push_back(std::nullopt);
  QTest::mouseClick(form->BImportar, Qt::LeftButton);
  QCOMPARE(harness.prompts.title, QStringLiteral("Archivo XML"));
  QCOMPARE(harness.prompts.filter, QStringLiteral("*.xml"));
  QCOMPARE(harness.prompts.default_suffix, QStringLiteral("xml"));
  QCOMPARE(harness.prompts.initial_dir, harness.ktemp() / "Sauce");
  QCOMPARE(harness.prompts.file_name, QString());
}

void ActionFramesTest::ExportarLoadsBeforeTheWaitCursorAndConvertsUnderIt() {
  FormHarness harness;
  const QString document = harness.WriteFile("datos/centro.xml", "<SERVICIO/>");
  harness.prompts.answers.push_back(document);
  auto form = harness.Make({});
  form->show();
  QTest::mouseClick(form->BExportar, Qt::LeftButton);

  const auto& calls = harness.runs.calls;
  QCOMPARE(harness.runs.Names(), (std::vector<std::string>{"LoadDocument", "Convert"}));
  QCOMPARE(calls[0].file, std::filesystem::path(document.toStdString()));
  QCOMPARE(calls[0].shown_path, document.toStdString());
  QVERIFY(!calls[0].wait_cursor);
  QVERIFY(calls[1].wait_cursor);
  QCOMPARE(calls[1].folder, harness.ktemp());
  // The cursor is normal again before "Proceso finalizado".
  QCOMPARE(harness.prompts.Boxes(), QStringList{"Proceso finalizado"});
  QVERIFY(!harness.prompts.shown.back().wait_cursor);
  QVERIFY(!WaitCursorShown());
  QCOMPARE(form->result_code(), 1);
  QCOMPARE(form->document_path(), document);
  QVERIFY(form->isVisible());
}

void ActionFramesTest::ImportarShowsTheWaitCursorBeforeTheRun() {
  FormHarness harness;
  const QString document = harness.WriteFile("datos/centro.xml", "<SERVICIO/>");
  harness.prompts.answers.push_back(document);
  auto form = harness.Make({});
  form->show();
  QTest::mouseClick(form->BImportar, Qt::LeftButton);

  QCOMPARE(harness.runs.Names(), std::vector<std::string>{"ImportTimetable"});
  const auto& call = harness.runs.calls[0];
  QVERIFY(call.wait_cursor);
  QCOMPARE(call.file, std::filesystem::path(document.toStdString()));
  QCOMPARE(call.folder, harness.ktemp());
  QCOMPARE(harness.prompts.Boxes(), QStringList{"Proceso finalizado"});
  QVERIFY(!WaitCursorShown());
  QCOMPARE(form->result_code(), 1);
}

// Cancelled before any file was chosen, a typed name that does not exist, a folder: "No existe
// archivo", no run, and by hand the result code and the window stay as they were.
void ActionFramesTest::NoFileMeansNoExisteArchivo_data() {
  QTest::addColumn<QString>("answer");  // "<cancel>" for Cancel
  QTest::newRow("cancelled") << "<cancel>";
  QTest::newRow("typed name that does not exist") << "no_existe.xml";
  QTest::newRow("folder") << "una_carpeta.xml";
}

void ActionFramesTest::NoFileMeansNoExisteArchivo() {
  QFETCH(QString, answer);
  FormHarness harness;
  std::filesystem::create_directories(harness.root() / "una_carpeta.xml");
  for (const char* button : {"BExportar", "BImportar"}) {
    harness.prompts.shown.clear();
    if (answer == QLatin1String("<cancel>")) {
      harness.prompts.answers.push_back(std::nullopt);
    } else {
      harness.prompts.answers.push_back(
          QString::fromStdString((harness.root() / answer.toStdString()).string()));
    }
    auto form = harness.Make({});
    form->show();
    QTest::mouseClick(form->findChild<QWidget*>(button), Qt::LeftButton);
    QCOMPARE(harness.prompts.Boxes(), QStringList{"No existe archivo"});
    QVERIFY(harness.runs.calls.empty());
    QCOMPARE(form->result_code(), 0);
    QVERIFY(form->isVisible());
  }
}

void ActionFramesTest::ErrorInsideTheRunIsShownAndChangesNothingElse_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("failing_call");
  QTest::newRow("exportar, load") << "BExportar"
                                  << "LoadDocument";
  QTest::newRow("exportar, conversion") << "BExportar"
                                        << "Convert";
  QTest::newRow("importar") << "BImportar"
                            << "ImportTimetable";
}

void ActionFramesTest::ErrorInsideTheRunIsShownAndChangesNothingElse() {
  QFETCH(QString, button);
  QFETCH(QString, failing_call);
  FormHarness harness;
  const QString first = harness.WriteFile("primero.xml", "<SERVICIO/>");
  const QString second = harness.WriteFile("segundo.xml", "<SERVICIO/>");
  auto form = harness.Make({});
  form->show();
  harness.prompts.answers.push_back(first);
  QTest::mouseClick(form->findChild<QWidget*>(button), Qt::LeftButton);
  QCOMPARE(form->result_code(), 1);

  harness.prompts.shown.clear();
  harness.runs.fail_in = failing_call.toStdString();
  harness.runs.fail_message = "Error de prueba en C:\\KTEMP\\ASIGT.DBF, campo CASIG";
  harness.prompts.answers.push_back(second);
  QTest::mouseClick(form->findChild<QWidget*>(button), Qt::LeftButton);
  QCOMPARE(harness.prompts.Boxes(),
           QStringList{"error: Error de prueba en C:\\KTEMP\\ASIGT.DBF, campo CASIG"});
  QVERIFY(!harness.prompts.shown.back().wait_cursor);  // normal cursor under the error box
  QVERIFY(!WaitCursorShown());
  QCOMPARE(form->result_code(), 1);         // unchanged
  QCOMPARE(form->document_path(), second);  // the new path stays
  QVERIFY(form->isVisible());

  // Embedded, the window is not closed either, and the code stays 0.
  harness.prompts.shown.clear();
  auto embedded = harness.Make({"exportar ", "1A2B"});
  embedded->show();
  harness.prompts.answers.push_back(second);
  QTest::mouseClick(embedded->findChild<QWidget*>(button), Qt::LeftButton);
  QCOMPARE(harness.prompts.Boxes().size(), 1);
  QVERIFY(harness.prompts.Boxes()[0].startsWith("error: "));
  QVERIFY(embedded->isVisible());
  QVERIFY(!embedded->closed());
  QCOMPARE(embedded->result_code(), 0);
}

void ActionFramesTest::TwoActionsByHandTheSecondCancelled() {
  FormHarness harness;
  const QString document = harness.WriteFile("centro.xml", "<SERVICIO/>");
  auto form = harness.Make({});
  form->show();
  harness.prompts.answers.push_back(document);
  QTest::mouseClick(form->BExportar, Qt::LeftButton);
  harness.prompts.answers.push_back(std::nullopt);
  QTest::mouseClick(form->BImportar, Qt::LeftButton);

  // The dialog reopened on the file it returned, and the cancelled second action worked on it.
  QCOMPARE(harness.prompts.file_name, document);
  QCOMPARE(harness.runs.Names(),
           (std::vector<std::string>{"LoadDocument", "Convert", "ImportTimetable"}));
  QCOMPARE(harness.runs.calls.back().file, std::filesystem::path(document.toStdString()));
  QCOMPARE(harness.prompts.Boxes(), (QStringList{"Proceso finalizado", "Proceso finalizado"}));
  QCOMPARE(form->result_code(), 1);
  QVERIFY(form->close());
  QVERIFY(!std::filesystem::exists(harness.ini_file()));  // by hand nothing is written
}

// The whole round by hand on the sample school: exportar writes the working tables, the
// simulated host solves the timetable, importar writes the timetable document beside the input.
void ActionFramesTest::RealExportarThenImportar() {
  FormHarness harness(/*real_runs=*/true);
  const std::filesystem::path sample =
      std::filesystem::path(ORVIDA_SOURCE_DIR) / "samples" / "instituto_ejemplo.xml";
  const std::filesystem::path input = harness.root() / "entrada" / "instituto_ejemplo.xml";
  std::filesystem::create_directories(input.parent_path());
  std::filesystem::copy_file(sample, input);

  auto form = harness.Make({});
  form->show();
  harness.prompts.answers.push_back(QString::fromStdString(input.string()));
  QTest::mouseClick(form->BExportar, Qt::LeftButton);
  QCOMPARE(harness.prompts.Boxes(), QStringList{"Proceso finalizado"});
  for (const char* table :
       {"ASIGNOMT", "PROFT", "AULAT", "CURSOST", "GRUPOST", "ASIGT", "DIASHORAST"}) {
    auto opened = orvida::dbase::Table::Open(harness.ktemp() / (std::string(table) + ".DBF"),
                                             orvida::dbase::OpenMode::kShared, table);
    QVERIFY2(opened.RecordCount() > 0, table);
  }

  const auto solved = orvida::tools::WriteSolvedSoluc(
      orvida::formats::WorkingFolder(harness.ktemp()), orvida::tools::SimulationOptions{});
  QVERIFY(solved.placed > 0);

  harness.prompts.answers.push_back(std::nullopt);  // the same document again
  QTest::mouseClick(form->BImportar, Qt::LeftButton);
  QCOMPARE(harness.prompts.Boxes(), (QStringList{"Proceso finalizado", "Proceso finalizado"}));
  const std::filesystem::path output = input.parent_path() / "ResultadoOrvidainstituto_ejemplo.xml";
  QVERIFY(std::filesystem::file_size(output) > 0);
  QCOMPARE(form->result_code(), 1);
}

void ActionFramesTest::RealImportarWithoutTablesNamesTheTable() {
  FormHarness harness(/*real_runs=*/true);
  const QString document = harness.WriteFile("centro.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
  auto form = harness.Make({});
  form->show();
  harness.prompts.answers.push_back(document);
  QTest::mouseClick(form->BImportar, Qt::LeftButton);
  const QStringList boxes = harness.prompts.Boxes();
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].startsWith("error: ") && boxes[0].contains("SOLUC"), qPrintable(boxes[0]));
  QVERIFY(!WaitCursorShown());
  QCOMPARE(form->result_code(), 0);
  QVERIFY(!std::filesystem::exists(harness.root() / "ResultadoOrvidacentro.xml"));
}

void ActionFramesTest::RealExportarOfAMalformedDocumentNamesTheFile() {
  FormHarness harness(/*real_runs=*/true);
  const QString document = harness.WriteFile("roto.xml", "<SERVICIO><BLOQUE_DATOS></SERVICIO>");
  auto form = harness.Make({});
  form->show();
  harness.prompts.answers.push_back(document);
  QTest::mouseClick(form->BExportar, Qt::LeftButton);
  const QStringList boxes = harness.prompts.Boxes();
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].startsWith("error: ") && boxes[0].contains("roto.xml"), qPrintable(boxes[0]));
  QVERIFY(harness.runs.Names() == std::vector<std::string>{"LoadDocument"});
  QCOMPARE(form->result_code(), 0);
  // No table was touched.
  QVERIFY(std::filesystem::is_empty(harness.ktemp()));
}

QTEST_MAIN(ActionFramesTest)
#include "action_frames_test.moc"
