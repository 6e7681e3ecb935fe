// The command line of the host protocol, the automatic action, the result code and Velmora.ini.

#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "tests/app/form_harness.h"

using orvida::app::HostIniFile;
using orvida::app::TMForm;
using orvida::app::testing::FormHarness;
using orvida::app::testing::ReadBytes;

class HostProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void OtherParameterCountsGiveAnOrdinaryWindow_data();
  void OtherParameterCountsGiveAnOrdinaryWindow();
  void ActionWordIsLoweredInAsciiOnly_data();
  void ActionWordIsLoweredInAsciiOnly();
  void HandleThatIsNotHexadecimalLeavesAnOrdinaryWindowThatStillRunsTheAction();
  void CancelledAutomaticActionWritesMinusOneAndNeverShowsTheWindow();
  void CompletedAutomaticActionWritesOne();
  void ErrorInAutomaticActionKeepsTheWindowOpenAndTheCodeUnchanged();
  void UnknownActionWordWaitsForTheUserAndWritesTheCodeOfHisAction();
  void OnlyTheResultKeyChangesInAnExistingIni();
  void UnwritableIniKeepsTheWindowOpen();
  void IniIsFoundInAnyLetterCase();
};

// No action starts, nothing is embedded, and closing writes nothing — also after a completed
// action by hand.
void HostProtocolTest::OtherParameterCountsGiveAnOrdinaryWindow_data() {
  QTest::addColumn<QStringList>("parameters");
  QTest::newRow("none") << QStringList{};
  QTest::newRow("one") << QStringList{"exportar"};
  QTest::newRow("three") << QStringList{"exportar", "1A2B", "x"};
}

void HostProtocolTest::OtherParameterCountsGiveAnOrdinaryWindow() {
  QFETCH(QStringList, parameters);
  FormHarness harness;
  auto form = harness.Make(parameters);
  form->show();
  QVERIFY(form->isVisible());
  QVERIFY(!form->embedded());
  QCOMPARE(harness.prompts.Dialogs(), 0);
  QVERIFY(harness.embedder.hosts.empty());
  QVERIFY(!(form->windowFlags() & Qt::FramelessWindowHint));

  harness.prompts.answers.push_back(harness.WriteFile("doc.xml", "<SERVICIO/>"));
  QTest::mouseClick(form->BExportar, Qt::LeftButton);
  QCOMPARE(form->result_code(), 1);
  QVERIFY(form->isVisible());  // by hand the window stays after an action

  QVERIFY(form->close());
  QVERIFY(!std::filesystem::exists(harness.ini_file()));
}

// "exportar"/"importar" in any ASCII capitals start the action; a trailing blank, or a capital
// outside ASCII that a Unicode lower-casing would fold to 'i', does not.
void HostProtocolTest::ActionWordIsLoweredInAsciiOnly_data() {
  QTest::addColumn<QString>("word");
  QTest::addColumn<QString>("expected_run");
  QTest::newRow("EXPORTAR") << "EXPORTAR"
                            << "Convert";
  QTest::newRow("exportar") << "exportar"
                            << "Convert";
  QTest::newRow("ImPoRtAr") << "ImPoRtAr"
                            << "ImportTimetable";
  QTest::newRow("blank after") << "exportar "
                               << "";
  QTest::newRow("blank before") << " importar"
                                << "";
  QTest::newRow("dotted capital I") << QString::fromUtf8("\xC4\xB0MPORTAR") << "";
  QTest::newRow("other word") << "ayuda"
                              << "";
}

void HostProtocolTest::ActionWordIsLoweredInAsciiOnly() {
  QFETCH(QString, word);
  QFETCH(QString, expected_run);
  FormHarness harness;
  const QString document = harness.WriteFile("doc.xml", "<SERVICIO/>");
  harness.prompts.answers.push_back(document);
  auto form = harness.Make({word, "1A2B"});
  QVERIFY(form->embedded());
  QCOMPARE(harness.embedder.hosts, std::vector<std::uint32_t>{0x1A2B});
  form->show();
  if (expected_run.isEmpty()) {
    QCOMPARE(harness.prompts.Dialogs(), 0);
    QVERIFY(harness.runs.calls.empty());
    QVERIFY(form->isVisible());
  } else {
    QCOMPARE(harness.prompts.Dialogs(), 1);
    QCOMPARE(QString::fromStdString(harness.runs.calls.back().name), expected_run);
    QVERIFY(form->closed());
    QVERIFY(!form->isVisible());
  }
}

void HostProtocolTest::HandleThatIsNotHexadecimalLeavesAnOrdinaryWindowThatStillRunsTheAction() {
  FormHarness harness;
  auto form = harness.Make({"exportar", "0x1A"});
  QCOMPARE(harness.prompts.Boxes(),
           QStringList{QString::fromUtf8("error: '$0x1A' no es un valor entero válido")});
  QVERIFY(!form->embedded());
  QVERIFY(harness.embedder.hosts.empty());

  form->show();  // the action still runs (the dialog is cancelled here) ...
  QCOMPARE(harness.prompts.Dialogs(), 1);
  QCOMPARE(harness.prompts.Boxes().last(), QStringLiteral("No existe archivo"));
  // ... but as by hand: no −1, no close, nothing written.
  QCOMPARE(form->result_code(), 0);
  QVERIFY(form->isVisible());
  QVERIFY(form->close());
  QVERIFY(!std::filesystem::exists(harness.ini_file()));
}

void HostProtocolTest::CancelledAutomaticActionWritesMinusOneAndNeverShowsTheWindow() {
  FormHarness harness;
  harness.prompts.answers.push_back(std::nullopt);
  auto form = harness.Make({"EXPORTAR", "1a2b"});
  form->show();
  QCOMPARE(harness.prompts.Boxes(), QStringList{"No existe archivo"});
  QVERIFY(harness.runs.calls.empty());
  QCOMPARE(form->result_code(), -1);
  QVERIFY(form->closed());
  QVERIFY(!form->isVisible());
  QCOMPARE(ReadBytes(harness.ini_file()), std::string("[Transformadores]\r\nTransformado=-1\r\n"));
}

void HostProtocolTest::CompletedAutomaticActionWritesOne() {
  FormHarness harness;
  harness.prompts.answers.push_back(harness.WriteFile("doc.xml", "<SERVICIO/>"));
  auto form = harness.Make({"importar", "FFFFFFFF"});
  QCOMPARE(harness.embedder.hosts, std::vector<std::uint32_t>{0xFFFFFFFFu});
  form->show();
  QCOMPARE(harness.prompts.Boxes(), QStringList{"Proceso finalizado"});
  QVERIFY(form->closed());
  QVERIFY(!form->isVisible());
  QCOMPARE(ReadBytes(harness.ini_file()), std::string("[Transformadores]\r\nTransformado=1\r\n"));
}

void HostProtocolTest::ErrorInAutomaticActionKeepsTheWindowOpenAndTheCodeUnchanged() {
  FormHarness harness;
  harness.prompts.answers.push_back(harness.WriteFile("doc.xml", "<SERVICIO/>"));
  harness.runs.fail_in = "ImportTimetable";
  harness.runs.fail_message = "La tabla C:\\KTEMP\\SOLUC.DBF está abierta en otro programa";
  auto form = harness.Make({"importar", "1A2B"});
  form->show();
  QCOMPARE(harness.prompts.Boxes(),
           QStringList{QString::fromUtf8(
               "error: La tabla C:\\KTEMP\\SOLUC.DBF está abierta en otro programa")});
  QVERIFY(form->isVisible());
  QVERIFY(!form->closed());
  QCOMPARE(form->result_code(), 0);
  QVERIFY(!std::filesystem::exists(harness.ini_file()));
  // The automatic action runs on the first show only.
  form->hide();
  form->show();
  QCOMPARE(harness.prompts.Dialogs(), 1);
  QTest::mouseClick(form->BClose, Qt::LeftButton);
  QVERIFY(form->closed());
  QCOMPARE(ReadBytes(harness.ini_file()), std::string("[Transformadores]\r\nTransformado=0\r\n"));
}

void HostProtocolTest::UnknownActionWordWaitsForTheUserAndWritesTheCodeOfHisAction() {
  FormHarness harness;
  auto form = harness.Make({"exportar ", "1A2B"});
  form->show();
  QVERIFY(form->isVisible());
  // The user runs importar by hand: the embedded frame closes the window when it completes.
  harness.prompts.answers.push_back(harness.WriteFile("doc.xml", "<SERVICIO/>"));
  QTest::mouseClick(form->BImportar, Qt::LeftButton);
  QVERIFY(form->closed());
  QVERIFY(!form->isVisible());
  QCOMPARE(ReadBytes(harness.ini_file()), std::string("[Transformadores]\r\nTransformado=1\r\n"));

  // Closed without an action: 0.
  FormHarness second;
  auto idle = second.Make({"exportar ", "1A2B"});
  idle->show();
  QTest::mouseClick(idle->BClose, Qt::LeftButton);
  QCOMPARE(ReadBytes(second.ini_file()), std::string("[Transformadores]\r\nTransformado=0\r\n"));
}

void HostProtocolTest::OnlyTheResultKeyChangesInAnExistingIni() {
  FormHarness harness;
  const std::string before =
      "; Configuraci\xF3n de Velmora\r\n"
      "[General]\r\n"
      "Ruta = C:\\VLMRM8\\Datos\r\n"
      "\r\n"
      "[transformadores]\r\n"
      "# el resultado del transformador\r\n"
      "TRANSFORMADO = 1 \r\n"
      "Otro=abc\r\n"
      "[Final]\r\n"
      "x=y";
  harness.WriteFile("programa/Velmora.ini", before);
  harness.prompts.answers.push_back(std::nullopt);
  auto form = harness.Make({"exportar", "1A2B"});
  form->show();
  QVERIFY(form->closed());
  // Every other byte is kept: comments, other sections, CRLF, the missing final newline.
  std::string expected = before;
  const std::string old_line = "TRANSFORMADO = 1 \r\n";
  expected.replace(expected.find(old_line), old_line.size(), "TRANSFORMADO = -1\r\n");
  QCOMPARE(ReadBytes(harness.ini_file()), expected);
}

void HostProtocolTest::UnwritableIniKeepsTheWindowOpen() {
  FormHarness harness;
  const std::string before = "[Transformadores]\r\nTransformado=1\r\n";
  harness.WriteFile("programa/Velmora.ini", before);
  std::filesystem::permissions(harness.ini_file(), std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::group_read |
                                                       std::filesystem::perms::others_read);
  auto form = harness.Make({"exportar ", "1A2B"});
  form->show();
  QVERIFY(!form->close());
  QVERIFY(form->isVisible());
  QVERIFY(!form->closed());
  const QString expected = QStringLiteral("error: Unable to write to ") +
                           QString::fromStdString(harness.ini_file().string());
  QCOMPARE(harness.prompts.Boxes(), QStringList{expected});
  QCOMPARE(ReadBytes(harness.ini_file()), before);

  // Once the file can be written, the close goes through.
  std::filesystem::permissions(harness.ini_file(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  QVERIFY(form->close());
  QVERIFY(form->closed());
  QCOMPARE(ReadBytes(harness.ini_file()), std::string("[Transformadores]\r\nTransformado=0\r\n"));
}

void HostProtocolTest::IniIsFoundInAnyLetterCase() {
  FormHarness harness;
  QCOMPARE(HostIniFile(harness.program_folder()), harness.program_folder() / "Velmora.ini");
  harness.WriteFile("programa/VELMORA.INI", "[Transformadores]\r\nTransformado=0\r\n");
  QCOMPARE(HostIniFile(harness.program_folder()), harness.program_folder() / "VELMORA.INI");
  harness.prompts.answers.push_back(std::nullopt);
  auto form = harness.Make({"exportar", "1A2B"});
  form->show();
  QCOMPARE(ReadBytes(harness.program_folder() / "VELMORA.INI"),
           std::string("[Transformadores]\r\nTransformado=-1\r\n"));
  QVERIFY(!std::filesystem::exists(harness.program_folder() / "Velmora.ini"));
}

QTEST_MAIN(HostProtocolTest)
#include "host_protocol_test.moc"
