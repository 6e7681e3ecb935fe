#include "app/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <cstdio>
#include <exception>
#include <string>
#include <system_error>

#include "platform/os/error.h"
#include "platform/os/ini_file.h"
#include "platform/os/paths.h"
#include "platform/os/text.h"

namespace orvida::app {
namespace {

constexpr int kClientWidth = 632;
constexpr int kClientHeight = 266;
constexpr const char* kHelpContextProperty = "HelpContext";

// Liberation Sans has the metrics of Arial and stands in for the Windows sans-serif fonts.
QFont SansFont(int pixel_size, bool bold) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

// The wait cursor over the whole application while an action works; the normal cursor comes
// back when the action ends, also when it stops on an error.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Only the letters A to Z are lowered: the host's action word is compared as the host wrote it.
QString AsciiLower(const QString& text) {
  QString lowered = text;
  for (QChar& c : lowered) {
    if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + ('a' - 'A'));
  }
  return lowered;
}

std::filesystem::path ToPath(const QString& file) {
  return std::filesystem::path(QFile::encodeName(file).toStdString());
}

QLabel* MakeLabel(const char* name, const QString& text, const QFont& font, const QRect& geometry,
                  QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(font);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setMargin(0);
  label->setIndent(0);
  // The gradient shows through the label.
  label->setAutoFillBackground(false);
  return label;
}

QPushButton* MakeButton(const char* name, const QString& text, const QIcon& icon,
                        const QRect& geometry, QWidget* parent) {
  auto* button = new QPushButton(icon, text, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::StrongFocus);
  button->setProperty(kHelpContextProperty, kHelpContext);
  return button;
}

GradientPanel* MakePanel(const char* name, std::uint32_t start, std::uint32_t middle,
                         std::uint32_t end, const QRect& geometry, QWidget* parent) {
  auto* panel =
      new GradientPanel(ColorFromBgr(start), ColorFromBgr(middle), ColorFromBgr(end), parent);
  panel->setObjectName(QLatin1String(name));
  panel->setGeometry(geometry);
  panel->setProperty(kHelpContextProperty, kHelpContext);
  return panel;
}

}  // namespace

std::filesystem::path HostIniFile(const std::filesystem::path& folder) {
  if (auto existing = os::FindEntryIgnoreCase(folder, "Velmora.ini")) return *existing;
  return folder / "Velmora.ini";
}

TMForm::TMForm(QStringList parameters, FormServices services, QWidget* parent)
    : QDialog(parent),
      parameters_(std::move(parameters)),
      drive_c_(std::move(services.drive_c)),
      ini_file_(std::move(services.ini_file)),
      prompts_(services.prompts),
      help_(services.help),
      embedder_(services.embedder),
      runs_(services.runs) {
  if (!prompts_) prompts_ = (own_prompts_ = std::make_unique<QtPrompts>()).get();
  if (!help_) help_ = (own_help_ = std::make_unique<XchmHelpViewer>()).get();
  if (!embedder_) embedder_ = (own_embedder_ = std::make_unique<NoHostEmbedder>()).get();
  if (!runs_) runs_ = (own_runs_ = std::make_unique<ActionRuns>(os::SystemClock())).get();
  help_file_ = MapPath(kHelpFile);
  BuildControls();
  FormCreate();
}

TMForm::~TMForm() = default;

std::filesystem::path TMForm::MapPath(const char* windows_path) const {
  return os::MapWindowsPath(windows_path, drive_c_);
}

formats::WorkingFolder TMForm::WorkingTables() const {
  return formats::WorkingFolder(MapPath("C:\\KTEMP"), "C:\\KTEMP");
}

void TMForm::BuildControls() {
  setObjectName(QStringLiteral("MForm"));
  setWindowTitle(QStringLiteral("Exportar e importar datos entre Velmora y Aldrena"));
  setProperty(kHelpContextProperty, kHelpContext);
  setFont(SansFont(11, false));
  QPalette window_palette = palette();
  window_palette.setColor(QPalette::Window, window_palette.color(QPalette::Button));
  setPalette(window_palette);
  setFixedSize(kClientWidth, kClientHeight);
  setSizeGripEnabled(false);

  const QIcon ok_glyph = style()->standardIcon(QStyle::SP_DialogOkButton);
  const QIcon close_glyph = style()->standardIcon(QStyle::SP_DialogCloseButton);
  const QFont heading_font = SansFont(16, true);

  // Created in this order so that the two upper panels lie over the bottom strip's first row,
  // and the tab order runs BClose, Button1, BExportar, BImportar.
  Draw3D1 = MakePanel("Draw3D1", 16698818, 16708303, 15128780, QRect(0, 168, 633, 97), this);
  Label1 = MakeLabel("Label1", QStringLiteral("TransVelmoraAldrena V-1.2"), SansFont(11, true),
                     QRect(8, 72, 165, 13), Draw3D1);
  QPalette red_text = Label1->palette();
  red_text.setColor(QPalette::WindowText, QColor(255, 0, 0));
  Label1->setPalette(red_text);
  BClose =
      MakeButton("BClose", QStringLiteral("&Salir"), close_glyph, QRect(256, 32, 89, 25), Draw3D1);
  Button1 =
      MakeButton("Button1", QStringLiteral("F1 Ayuda"), QIcon(), QRect(48, 40, 75, 25), Draw3D1);

  Draw3D2 = MakePanel("Draw3D2", 8246265, 0xFFFFFF, 14544639, QRect(1, 0, 315, 169), this);
  Label3 = MakeLabel("Label3", QStringLiteral("Transformar datos desde Aldrena hacia Velmora "),
                     heading_font, QRect(24, 24, 265, 57), Draw3D2);
  Label3->setWordWrap(true);
  BExportar =
      MakeButton("BExportar", QStringLiteral("Aceptar"), ok_glyph, QRect(96, 120, 89, 25), Draw3D2);

  Draw3D3 = MakePanel("Draw3D3", 8246265, 0xFFFFFF, 14544639, QRect(316, 0, 317, 169), this);
  Label4 = MakeLabel("Label4", QStringLiteral("Transformar datos desde Velmora hacia Aldrena"),
                     heading_font, QRect(8, 24, 305, 57), Draw3D3);
  Label4->setWordWrap(true);
  BImportar =
      MakeButton("BImportar", QStringLiteral("Aceptar"), ok_glyph, QRect(96, 120, 89, 25), Draw3D3);

  OpenDialogXML = new OpenDialog(this);
  OpenDialogXML->setObjectName(QStringLiteral("OpenDialogXML"));
  OpenDialogXML->title = QStringLiteral("Archivo XML");
  OpenDialogXML->filter = QStringLiteral("*.xml");
  OpenDialogXML->default_suffix = QStringLiteral("xml");
  OpenDialogXML->initial_dir = MapPath("c:\\ktemp\\sauce");

  // A dialog has one default button; the importar button, like every button here, still
  // answers Return while it has the focus.
  BExportar->setDefault(true);
  for (QPushButton* button : {BClose, Button1, BExportar, BImportar}) button->setAutoDefault(true);
  setTabOrder(BClose, Button1);
  setTabOrder(Button1, BExportar);
  setTabOrder(BExportar, BImportar);
  BClose->setFocus();

  connect(BClose, &QPushButton::clicked, this, &QWidget::close);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(BExportar, &QPushButton::clicked, this, [this] { BExportarClick(); });
  connect(BImportar, &QPushButton::clicked, this, [this] { BImportarClick(); });

  // Centred on the screen (the client area, as the frame is the window manager's).
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    setGeometry(QRect(area.x() + (area.width() - kClientWidth) / 2,
                      area.y() + (area.height() - kClientHeight) / 2, kClientWidth, kClientHeight));
  }
}

void TMForm::FormCreate() {
  result_code_ = 0;
  if (parameters_.size() != 2) return;
  std::uint32_t host_window = 0;
  try {
    host_window = os::HexStrToInt(parameters_[1].toStdString());
  } catch (const std::exception& error) {
    // Not a handle: an ordinary window; the action word still runs (see FormShow).
    prompts_->ShowError(QString::fromUtf8(error.what()), this);
    return;
  }
  // A handle that names no window we can embed into (a host under Wine passes a Windows
  // handle) still means the host is waiting for the result code: the window is then an
  // ordinary dialog, and the protocol holds.
  embedder_->SetHostDestroyedHandler([this] { HostWindowDestroyed(); });
  embedder_->Embed(*this, host_window);
  embedded_ = true;
}

void TMForm::setVisible(bool visible) {
  if (visible && !show_handled_) {
    show_handled_ = true;
    FormShow();
    // The automatic action closed the window before it appeared: it never appears.
    if (closed_) return;
  }
  QDialog::setVisible(visible);
}

void TMForm::FormShow() {
  if (parameters_.size() != 2) return;
  const QString word = AsciiLower(parameters_[0]);
  if (word == QLatin1String("importar")) BImportarClick();
  if (word == QLatin1String("exportar")) BExportarClick();
}

void TMForm::closeEvent(QCloseEvent* event) { FormClose(*event); }

void TMForm::WriteResultCode() const {
  os::WriteIniString(ini_file_, "Transformadores", "Transformado", std::to_string(result_code_));
}

void TMForm::FormClose(QCloseEvent& event) {
  // After the host's window went away the code has been written already.
  if (embedded_ && !host_gone_) {
    try {
      WriteResultCode();
    } catch (const std::exception& error) {
      // The host would read a stale code: the window stays open until the file can be written.
      prompts_->ShowError(QString::fromUtf8(error.what()), this);
      event.ignore();
      return;
    }
  }
  closed_ = true;
  event.accept();
  emit Closed();
}

void TMForm::HostWindowDestroyed() {
  if (closed_ || host_gone_) return;
  host_gone_ = true;
  closed_ = true;
  if (!embedded_) return;
  try {
    WriteResultCode();
  } catch (const std::exception& error) {
    // No window is left to show it in.
    std::fprintf(stderr, "TransOrvidaAldrena: %s\n", error.what());
  }
}

std::optional<std::filesystem::path> TMForm::ChooseDocument() {
  const bool accepted = OpenDialogXML->Execute(*prompts_, this);
  // The host went away while the dialog was open: the action ends here, without a word.
  if (host_gone_) return std::nullopt;
  if (accepted) document_path_ = OpenDialogXML->file_name;
  std::filesystem::path file = ToPath(document_path_);
  std::error_code error;
  if (!document_path_.isEmpty() && std::filesystem::is_regular_file(file, error)) return file;
  prompts_->ShowMessage(QStringLiteral("No existe archivo"), this);
  if (embedded_) {
    result_code_ = -1;
    close();
  }
  return std::nullopt;
}

template <typename Action>
void TMForm::RunFrame(Action action) {
  try {
    if (!action()) return;
  } catch (const std::exception& error) {
    prompts_->ShowError(QString::fromUtf8(error.what()), this);
    return;
  } catch (...) {
    prompts_->ShowError(QStringLiteral("La acción se detuvo por un error desconocido."), this);
    return;
  }
  result_code_ = 1;
  prompts_->ShowMessage(QStringLiteral("Proceso finalizado"), this);
  if (embedded_ && !host_gone_) close();
}

void TMForm::BExportarClick() {
  RunFrame([this] {
    const std::optional<std::filesystem::path> file = ChooseDocument();
    if (!file) return false;
    const formats::ExchangeDocument document =
        runs_->LoadDocument(*file, document_path_.toStdString());
    WaitCursor wait;
    runs_->Convert(document, WorkingTables());
    return true;
  });
}

void TMForm::BImportarClick() {
  RunFrame([this] {
    const std::optional<std::filesystem::path> file = ChooseDocument();
    if (!file) return false;
    WaitCursor wait;
    runs_->ImportTimetable(*file, document_path_.toStdString(), WorkingTables());
    return true;
  });
}

void TMForm::Button1Click() {
  help_file_ = MapPath(kHelpFile);
  try {
    help_->ShowContents(help_file_);
  } catch (const std::exception& error) {
    prompts_->ShowError(QString::fromUtf8(error.what()), this);
  }
}

void TMForm::ShowHelpTopic(int context) {
  try {
    help_->ShowTopic(help_file_, context);
  } catch (const std::exception& error) {
    prompts_->ShowError(QString::fromUtf8(error.what()), this);
  }
}

void TMForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    // The topic of the control with the focus, or of the nearest container that has one.
    int context = kHelpContext;
    for (QWidget* widget = focusWidget(); widget; widget = widget->parentWidget()) {
      const QVariant value = widget->property(kHelpContextProperty);
      if (value.isValid() && value.toInt() != 0) {
        context = value.toInt();
        break;
      }
    }
    ShowHelpTopic(context);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvida::app
