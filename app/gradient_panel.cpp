#include "app/gradient_panel.h"

#include <QLinearGradient>
#include <QPainter>

namespace orvida::app {

QColor ColorFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                static_cast<int>((bgr >> 16) & 0xFFu));
}

GradientPanel::GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent)
    : QWidget(parent), start_(start), middle_(middle), end_(end) {
  // The gradient covers every pixel, so nothing behind the panel needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // Pixel rows are sampled at their centres: row 0 gets the start colour, the last row the end.
  const qreal top = 0.5;
  const qreal bottom = height() > 1 ? height() - 0.5 : 1.0;
  QLinearGradient gradient(0, top, 0, bottom);
  gradient.setColorAt(0.0, start_);
  gradient.setColorAt(0.5, middle_);
  gradient.setColorAt(1.0, end_);
  painter.fillRect(rect(), gradient);
}

}  // namespace orvida::app
