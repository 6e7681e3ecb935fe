// The window as a person sees it: geometry of every control, the gradients' pixels, the fonts
// actually used, the texts and glyphs, focus and keyboard.

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include "app/gradient_panel.h"
#include "tests/app/form_harness.h"

using orvida::app::ColorFromBgr;
using orvida::app::GradientPanel;
using orvida::app::TMForm;
using orvida::app::testing::FormHarness;

namespace {

bool Near(QColor actual, QColor expected, int tolerance = 3) {
  return std::abs(actual.red() - expected.red()) <= tolerance &&
         std::abs(actual.green() - expected.green()) <= tolerance &&
         std::abs(actual.blue() - expected.blue()) <= tolerance;
}

QByteArray Describe(QColor actual, QColor expected, const char* where) {
  return QByteArray(where) + ": got " + actual.name().toLatin1() + ", expected " +
         expected.name().toLatin1();
}

// Pixels of `rect` (window coordinates) that satisfy `test`.
template <typename Test>
int CountPixels(const QImage& image, const QRect& rect, Test test) {
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) count += test(image.pixelColor(x, y));
  }
  return count;
}

bool IsDark(QColor c) { return c.red() + c.green() + c.blue() < 150; }
bool IsRed(QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; }

QRect InWindow(const QWidget* widget) {
  return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void WindowIsAFixedDialogCentredOnTheScreen();
  void EveryControlSitsWhereItBelongs();
  void ColoursAreReadBlueGreenRed();
  void PanelsShowTheirGradientsTopMiddleBottom();
  void LabelsShowTheirTextInTheirColoursOverTheGradient();
  void FontsAreLiberationSansAtTheGivenPixelHeights();
  void ButtonsShowTheirCaptionsAndGlyphs();
  void FocusStartsOnBCloseAndTabRunsThroughTheButtons();
  void EscapeDoesNotCloseButSalirDoes();
  void ReturnPressesTheButtonWithTheFocus();

 private:
  std::unique_ptr<FormHarness> harness_;
  std::unique_ptr<TMForm> form_;
  QImage image_;
};

void LayoutTest::init() {
  harness_ = std::make_unique<FormHarness>();
  form_ = harness_->Make({});
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  image_ = form_->grab().toImage();
}

void LayoutTest::cleanup() {
  form_.reset();
  harness_.reset();
}

void LayoutTest::WindowIsAFixedDialogCentredOnTheScreen() {
  QCOMPARE(form_->windowTitle(),
           QStringLiteral("Exportar e importar datos entre Velmora y Aldrena"));
  QCOMPARE(form_->size(), QSize(632, 266));
  QCOMPARE(form_->minimumSize(), QSize(632, 266));
  QCOMPARE(form_->maximumSize(), QSize(632, 266));
  QCOMPARE(image_.size(), QSize(632, 266));
  const QRect screen = form_->screen()->geometry();
  QVERIFY(std::abs(form_->geometry().center().x() - screen.center().x()) <= 1);
  QVERIFY(std::abs(form_->geometry().center().y() - screen.center().y()) <= 1);
  QVERIFY(!(form_->windowFlags() & Qt::FramelessWindowHint));
}

void LayoutTest::EveryControlSitsWhereItBelongs() {
  struct Expected {
    const char* name;
    const char* parent;
    QRect geometry;
  };
  const Expected table[] = {
      {"Draw3D1", "MForm", {0, 168, 633, 97}},     {"Label1", "Draw3D1", {8, 72, 165, 13}},
      {"BClose", "Draw3D1", {256, 32, 89, 25}},    {"Button1", "Draw3D1", {48, 40, 75, 25}},
      {"Draw3D2", "MForm", {1, 0, 315, 169}},      {"Label3", "Draw3D2", {24, 24, 265, 57}},
      {"BExportar", "Draw3D2", {96, 120, 89, 25}}, {"Draw3D3", "MForm", {316, 0, 317, 169}},
      {"Label4", "Draw3D3", {8, 24, 305, 57}},     {"BImportar", "Draw3D3", {96, 120, 89, 25}},
  };
  for (const Expected& expected : table) {
    auto* widget = form_->findChild<QWidget*>(expected.name);
    QVERIFY2(widget, expected.name);
    QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(expected.parent));
    QCOMPARE(widget->geometry(), expected.geometry);
    QVERIFY2(widget->isVisible(), expected.name);
    if (qobject_cast<QPushButton*>(widget) || qobject_cast<GradientPanel*>(widget)) {
      QCOMPARE(widget->property("HelpContext").toInt(), 3);
    }
  }
  QCOMPARE(form_->property("HelpContext").toInt(), 3);
  // The members carry the same objects.
  QCOMPARE(form_->findChild<QWidget*>("BExportar"), form_->BExportar);
  QCOMPARE(form_->findChild<QWidget*>("Label1"), form_->Label1);
}

void LayoutTest::ColoursAreReadBlueGreenRed() {
  QCOMPARE(ColorFromBgr(16698818), QColor(194, 205, 254));
  QCOMPARE(ColorFromBgr(8246265), QColor(249, 211, 125));
  QCOMPARE(ColorFromBgr(15128780), QColor(204, 216, 230));
}

void LayoutTest::PanelsShowTheirGradientsTopMiddleBottom() {
  const QColor blue_start(194, 205, 254), blue_middle(207, 242, 254), blue_end(204, 216, 230);
  const QColor sand_start(249, 211, 125), white(255, 255, 255), sand_end(255, 238, 221);
  struct Sample {
    const char* where;
    QPoint pixel;  // window coordinates, away from every control
    QColor expected;
  };
  const Sample samples[] = {
      // Draw3D2 (1..315 x 0..168): x = 10, clear of Label3 and BExportar.
      {"Draw3D2 top", {10, 0}, sand_start},
      {"Draw3D2 middle", {10, 84}, white},
      {"Draw3D2 bottom", {10, 168}, sand_end},
      // Draw3D3 (316..632 x 0..168).
      {"Draw3D3 top", {320, 0}, sand_start},
      {"Draw3D3 middle", {320, 84}, white},
      {"Draw3D3 bottom", {631, 168}, sand_end},
      // Draw3D1 (0..632 x 168..264); its first row lies under the upper panels.
      {"Draw3D1 second row", {600, 169}, blue_start},
      {"Draw3D1 middle", {600, 168 + 48}, blue_middle},
      {"Draw3D1 bottom", {600, 264}, blue_end},
      {"Draw3D1 bottom left", {0, 264}, blue_end},
  };
  for (const Sample& sample : samples) {
    const QColor actual = image_.pixelColor(sample.pixel);
    QVERIFY2(Near(actual, sample.expected), Describe(actual, sample.expected, sample.where));
  }
  // Where no panel lies, the window's own background shows: the first column above the strip
  // and the last row.
  const QColor face = form_->palette().color(QPalette::Button);
  QVERIFY2(Near(image_.pixelColor(0, 50), face), Describe(image_.pixelColor(0, 50), face, "x=0"));
  QVERIFY2(Near(image_.pixelColor(300, 265), face),
           Describe(image_.pixelColor(300, 265), face, "last row"));
}

void LayoutTest::LabelsShowTheirTextInTheirColoursOverTheGradient() {
  QCOMPARE(form_->Label1->text(), QStringLiteral("TransVelmoraAldrena V-1.2"));
  QCOMPARE(form_->Label3->text(), QStringLiteral("Transformar datos desde Aldrena hacia Velmora "));
  QCOMPARE(form_->Label4->text(), QStringLiteral("Transformar datos desde Velmora hacia Aldrena"));

  // Label1: red text; the rest of its rectangle shows the gradient (transparent background).
  const QRect label1 = InWindow(form_->Label1);
  QVERIFY(CountPixels(image_, label1, IsRed) > 40);
  const QPoint past_text(label1.right(), label1.center().y());
  QVERIFY2(Near(image_.pixelColor(past_text), image_.pixelColor(past_text.x() + 10, past_text.y())),
           "Label1 paints its own background");

  // Label3 and Label4: dark text on two lines inside their rectangles, nothing in the third
  // line, and the gradient around the text.
  for (QLabel* label : {form_->Label3, form_->Label4}) {
    const QRect rect = InWindow(label);
    const QRect first_line(rect.left(), rect.top(), rect.width(), 19);
    const QRect second_line(rect.left(), rect.top() + 19, rect.width(), 19);
    const QRect third_line(rect.left(), rect.top() + 40, rect.width(), rect.height() - 40);
    QVERIFY2(CountPixels(image_, first_line, IsDark) > 100, qPrintable(label->objectName()));
    QVERIFY2(CountPixels(image_, second_line, IsDark) > 50, qPrintable(label->objectName()));
    QCOMPARE(CountPixels(image_, third_line, IsDark), 0);
    const QPoint corner(rect.right(), rect.bottom());
    const QColor beside = image_.pixelColor(rect.right() + 1, rect.bottom());
    QVERIFY2(Near(image_.pixelColor(corner), beside, 4), qPrintable(label->objectName()));
  }
}

void LayoutTest::FontsAreLiberationSansAtTheGivenPixelHeights() {
  struct Expected {
    QWidget* widget;
    int pixel_size;
    bool bold;
  };
  const Expected table[] = {
      {form_.get(), 11, false},      {form_->Label1, 11, true},     {form_->Label3, 16, true},
      {form_->Label4, 16, true},     {form_->BClose, 11, false},    {form_->Button1, 11, false},
      {form_->BExportar, 11, false}, {form_->BImportar, 11, false},
  };
  for (const Expected& expected : table) {
    const QFontInfo used(expected.widget->font());
    const QByteArray name = expected.widget->objectName().toLatin1();
    QVERIFY2(used.family() == QLatin1String("Liberation Sans"),
             name + " uses " + used.family().toLatin1());
    QCOMPARE(used.pixelSize(), expected.pixel_size);
    QCOMPARE(used.bold(), expected.bold);
  }
  // The version caption fits its label.
  QVERIFY(QFontMetrics(form_->Label1->font()).horizontalAdvance(form_->Label1->text()) <= 165);
}

void LayoutTest::ButtonsShowTheirCaptionsAndGlyphs() {
  QCOMPARE(form_->BClose->text(), QStringLiteral("&Salir"));
  QCOMPARE(form_->Button1->text(), QStringLiteral("F1 Ayuda"));
  QCOMPARE(form_->BExportar->text(), QStringLiteral("Aceptar"));
  QCOMPARE(form_->BImportar->text(), QStringLiteral("Aceptar"));
  const QImage ok = form_->style()->standardIcon(QStyle::SP_DialogOkButton).pixmap(16).toImage();
  const QImage close =
      form_->style()->standardIcon(QStyle::SP_DialogCloseButton).pixmap(16).toImage();
  QVERIFY(!ok.isNull() && !close.isNull() && ok != close);
  QCOMPARE(form_->BExportar->icon().pixmap(16).toImage(), ok);
  QCOMPARE(form_->BImportar->icon().pixmap(16).toImage(), ok);
  QCOMPARE(form_->BClose->icon().pixmap(16).toImage(), close);
  QVERIFY(form_->Button1->icon().isNull());
  // Every caption fits its button.
  for (QPushButton* button : {form_->BClose, form_->Button1, form_->BExportar, form_->BImportar}) {
    const int text = QFontMetrics(button->font()).horizontalAdvance(button->text().remove('&'));
    const int glyph = button->icon().isNull() ? 0 : 20;
    QVERIFY2(text + glyph + 8 <= button->width(), qPrintable(button->objectName()));
  }
}

void LayoutTest::FocusStartsOnBCloseAndTabRunsThroughTheButtons() {
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  QCOMPARE(QApplication::focusWidget(), form_->BClose);
  const QWidget* order[] = {form_->Button1, form_->BExportar, form_->BImportar, form_->BClose};
  for (const QWidget* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
  }
}

void LayoutTest::EscapeDoesNotCloseButSalirDoes() {
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QVERIFY(form_->isVisible());
  // The mnemonic of "&Salir", from whichever control has the focus.
  form_->BImportar->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
  QTRY_VERIFY(form_->closed());  // a mnemonic animates the click first
  QVERIFY(!form_->isVisible());
}

// Every button acts as the default while it has the focus, as the OK-kind buttons always do.
void LayoutTest::ReturnPressesTheButtonWithTheFocus() {
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  harness_->prompts.answers = {std::nullopt, std::nullopt};
  form_->BExportar->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(harness_->prompts.Dialogs(), 1);
  form_->BImportar->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(harness_->prompts.Dialogs(), 2);
  QCOMPARE(harness_->prompts.Boxes(), (QStringList{"No existe archivo", "No existe archivo"}));
  form_->Button1->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(harness_->help.requests.size(), size_t{1});
  form_->BClose->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QVERIFY(form_->closed());
}

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
