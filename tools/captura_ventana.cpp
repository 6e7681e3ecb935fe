// captura_ventana: saves a picture of an X11 window (with the windows inside it) as PNG, for
// the screenshots in the documentation.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <cstdio>

int main(int argc, char* argv[]) {
  // Only the xcb plugin can read another program's window.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr,
                 "Uso: captura_ventana VENTANA SALIDA.png\n"
                 "Guarda la imagen de la ventana X11 VENTANA (identificador en hexadecimal,\n"
                 "con o sin 0x) en SALIDA.png.\n");
    return 2;
  }
  bool ok = false;
  const WId window = QString::fromLocal8Bit(argv[1]).toULongLong(&ok, 16);
  if (!ok || window == 0) {
    std::fprintf(stderr, "error: '%s' no es un identificador de ventana en hexadecimal\n", argv[1]);
    return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QPixmap picture = screen ? screen->grabWindow(window) : QPixmap();
  if (picture.isNull()) {
    std::fprintf(stderr, "error: no se pudo leer la ventana %s\n", argv[1]);
    return 1;
  }
  if (!picture.toImage()
           .convertToFormat(QImage::Format_RGB32)
           .save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "error: no se pudo escribir %s\n", argv[2]);
    return 1;
  }
  return 0;
}
