// Help: Button1 opens the contents, F1 the topic with context number 3, through xchm.

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/help_viewer.h"
#include "platform/os/error.h"
#include "tests/app/form_harness.h"

using orvida::app::XchmHelpViewer;
using orvida::app::testing::FormHarness;
using orvida::app::testing::ReadBytes;

namespace {

// A stand-in viewer that writes its arguments, one a line, beside itself.
std::filesystem::path WriteFakeViewer(const FormHarness& harness) {
  const std::filesystem::path script = harness.root() / "bin" / "xchm";
  harness.WriteFile(
      "bin/xchm",
      "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\"\nmv \"$0.args.tmp\" \"$0.args\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void Button1OpensTheContentsAndF1TheTopic();
  void XchmGetsTheFileAndTheContextNumber();
  void MissingHelpFileOrViewerIsSaidPlainly();
};

void HelpTest::Button1OpensTheContentsAndF1TheTopic() {
  FormHarness harness;
  auto form = harness.Make({});
  form->show();
  form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
  // Put in place after the window started: Button1 looks for the file again, in any case.
  harness.WriteFile("drive_c/vlmrm8/Aldrena.CHM", "ITSF");
  const auto help_file = harness.drive_c() / "vlmrm8" / "Aldrena.CHM";

  QTest::mouseClick(form->Button1, Qt::LeftButton);
  QCOMPARE(harness.help.requests.size(), size_t{1});
  QCOMPARE(harness.help.requests[0].file, help_file);
  QCOMPARE(harness.help.requests[0].context, 0);

  // F1 with the focus on any control.
  for (QWidget* focus :
       {static_cast<QWidget*>(form->BClose), static_cast<QWidget*>(form->BImportar)}) {
    focus->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(harness.help.requests.back().file, help_file);
    QCOMPARE(harness.help.requests.back().context, 3);
  }
  QCOMPARE(harness.help.requests.size(), size_t{3});
  // Help changes nothing else.
  QVERIFY(harness.prompts.shown.empty());
  QCOMPARE(form->result_code(), 0);
  QVERIFY(form->document_path().isEmpty());
  QVERIFY(std::filesystem::is_empty(harness.ktemp()));
  QVERIFY(form->isVisible());
}

void HelpTest::XchmGetsTheFileAndTheContextNumber() {
  FormHarness harness;
  const auto viewer = WriteFakeViewer(harness);
  const QString help_file = harness.WriteFile("drive_c/VLMRM8/ALDRENA.chm", "ITSF");
  const auto args = std::filesystem::path(viewer.string() + ".args");
  XchmHelpViewer xchm(QString::fromStdString(viewer.string()));

  xchm.ShowTopic(help_file.toStdString(), 3);
  QTRY_VERIFY(std::filesystem::exists(args));
  QCOMPARE(ReadBytes(args), "-c\n3\n" + help_file.toStdString() + "\n");
  std::filesystem::remove(args);

  xchm.ShowContents(help_file.toStdString());
  QTRY_VERIFY(std::filesystem::exists(args));
  QCOMPARE(ReadBytes(args), help_file.toStdString() + "\n");
}

void HelpTest::MissingHelpFileOrViewerIsSaidPlainly() {
  FormHarness harness;
  const auto missing_file = harness.drive_c() / "VLMRM8" / "ALDRENA.chm";
  XchmHelpViewer xchm(QString::fromStdString(WriteFakeViewer(harness).string()));
  try {
    xchm.ShowContents(missing_file);
    QFAIL("no error for a missing help file");
  } catch (const orvida::Error& error) {
    QCOMPARE(QString::fromUtf8(error.what()),
             QString::fromStdString("No se encuentra el archivo de ayuda " + missing_file.string() +
                                    "; no se puede mostrar la ayuda."));
  }

  harness.WriteFile("drive_c/VLMRM8/ALDRENA.chm", "ITSF");
  XchmHelpViewer absent(QStringLiteral("visor-de-ayuda-que-no-existe"));
  try {
    absent.ShowTopic(missing_file, 3);
    QFAIL("no error for a missing viewer");
  } catch (const orvida::Error& error) {
    QVERIFY2(QString::fromUtf8(error.what())
                 .startsWith("No se encuentra el visor de ayuda visor-de-ayuda-que-no-existe"),
             error.what());
  }

  // In the window: the message in the error box, nothing else changes.
  std::filesystem::remove(missing_file);
  FormHarness window;
  XchmHelpViewer real;
  orvida::app::FormServices services;
  services.drive_c = window.drive_c();
  services.ini_file = window.ini_file();
  services.prompts = &window.prompts;
  services.help = &real;
  services.embedder = &window.embedder;
  services.runs = &window.runs;
  orvida::app::TMForm form({}, services);
  form.show();
  QTest::mouseClick(form.Button1, Qt::LeftButton);
  QCOMPARE(window.prompts.Boxes().size(), 1);
  QVERIFY(window.prompts.Boxes()[0].startsWith("error: No se encuentra el archivo de ayuda "));
  QVERIFY(form.isVisible());
  QCOMPARE(form.result_code(), 0);
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
