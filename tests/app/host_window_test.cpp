// The host's window going away while the window sits inside it, and the embedder chosen for
// the platform. The X11 embedder itself is tested end to end under Xvfb (x11_embedding_test.sh).

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/host_embedder.h"
#include "tests/app/form_harness.h"

using orvida::app::CreateHostEmbedder;
using orvida::app::HostEmbedder;
using orvida::app::NoHostEmbedder;
using orvida::app::TMForm;
using orvida::app::testing::FormHarness;
using orvida::app::testing::ReadBytes;
using orvida::app::testing::ScriptedPrompts;

namespace {

const std::string kIniZero = "[Transformadores]\r\nTransformado=0\r\n";
const std::string kIniOne = "[Transformadores]\r\nTransformado=1\r\n";

}  // namespace

class HostWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void HostGoneWhileTheFileDialogIsOpenEndsTheActionSilentlyWithZero();
  void HostGoneWhileProcesoFinalizadoIsShownLeavesOne();
  void HostGoneWhileTheWindowWaitsWritesOnceAndNeverAgain();
  void OffscreenPlatformGetsAnEmbedderThatNeverEmbeds();
};

// The dialog comes back cancelled when the event loops end: no "No existe archivo", no −1, and
// no run; the code the window had is written.
void HostWindowTest::HostGoneWhileTheFileDialogIsOpenEndsTheActionSilentlyWithZero() {
  FormHarness harness;
  harness.prompts.while_shown = [&](ScriptedPrompts::Shown shown) {
    if (shown.kind == QLatin1String("dialog")) harness.embedder.DestroyHost();
  };
  harness.prompts.answers.push_back(std::nullopt);
  auto form = harness.Make({"exportar", "1A2B"});
  form->show();
  QCOMPARE(harness.prompts.Dialogs(), 1);
  QCOMPARE(harness.prompts.Boxes(), QStringList{});
  QVERIFY(harness.runs.calls.empty());
  QVERIFY(form->host_gone());
  QVERIFY(form->closed());
  QVERIFY(!form->isVisible());
  QCOMPARE(form->result_code(), 0);
  QCOMPARE(ReadBytes(harness.ini_file()), kIniZero);
}

void HostWindowTest::HostGoneWhileProcesoFinalizadoIsShownLeavesOne() {
  FormHarness harness;
  harness.prompts.while_shown = [&](ScriptedPrompts::Shown shown) {
    if (shown.text == QLatin1String("Proceso finalizado")) harness.embedder.DestroyHost();
  };
  harness.prompts.answers.push_back(harness.WriteFile("doc.xml", "<SERVICIO/>"));
  auto form = harness.Make({"importar", "1A2B"});
  form->show();
  QCOMPARE(harness.prompts.Boxes(), QStringList{"Proceso finalizado"});
  QVERIFY(form->closed());
  QVERIFY(!form->isVisible());
  QCOMPARE(ReadBytes(harness.ini_file()), kIniOne);
}

// Gone while the window waited for the user (unknown action word): 0 is written at once; a
// close that still comes afterwards writes nothing more, and closes nothing twice.
void HostWindowTest::HostGoneWhileTheWindowWaitsWritesOnceAndNeverAgain() {
  FormHarness harness;
  auto form = harness.Make({"ayuda", "1A2B"});
  QSignalSpy closed(form.get(), &TMForm::Closed);
  form->show();
  QVERIFY(form->isVisible());
  harness.embedder.DestroyHost();
  QVERIFY(form->closed());
  QCOMPARE(ReadBytes(harness.ini_file()), kIniZero);

  std::filesystem::remove(harness.ini_file());
  form->close();
  QVERIFY(!std::filesystem::exists(harness.ini_file()));
  harness.embedder.DestroyHost();
  QVERIFY(!std::filesystem::exists(harness.ini_file()));
  QCOMPARE(closed.count(), 1);
}

// Under offscreen the X11 interface may answer with a null connection; it must not be used.
void HostWindowTest::OffscreenPlatformGetsAnEmbedderThatNeverEmbeds() {
  std::unique_ptr<HostEmbedder> embedder = CreateHostEmbedder();
  QVERIFY(dynamic_cast<NoHostEmbedder*>(embedder.get()) != nullptr);
  FormHarness harness;
  auto form = harness.Make({});
  QVERIFY(!embedder->Embed(*form, 0x1A2B));
  QVERIFY(!(form->windowFlags() & Qt::FramelessWindowHint));
  QVERIFY(form->windowHandle() == nullptr || form->windowHandle()->parent() == nullptr);
}

QTEST_MAIN(HostWindowTest)
#include "host_window_test.moc"
