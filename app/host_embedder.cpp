#include "app/host_embedder.h"

#include <QGuiApplication>
#include <QString>

#include "app/x11_host_embedder.h"

namespace orvida::app {

std::unique_ptr<HostEmbedder> CreateHostEmbedder() {
  // Only the xcb plugin has foreign windows to embed into. Other plugins (offscreen, Wayland)
  // may still answer the X11 interface with a null connection, which must never be used.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
      if (xcb_connection_t* connection = x11->connection()) {
        return std::make_unique<X11HostEmbedder>(connection);
      }
    }
  }
  return std::make_unique<NoHostEmbedder>();
}

}  // namespace orvida::app
