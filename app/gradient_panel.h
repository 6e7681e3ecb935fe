#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

namespace orvida::app {

// A colour given as the integer the window's design stores: blue in the high byte, red in the
// low byte (0x00BBGGRR).
QColor ColorFromBgr(std::uint32_t bgr);

// A panel filled with a vertical gradient: `start` on the top edge, `middle` half-way down,
// `end` on the bottom edge.
class GradientPanel : public QWidget {
  Q_OBJECT

 public:
  GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent = nullptr);

  QColor start() const { return start_; }
  QColor middle() const { return middle_; }
  QColor end() const { return end_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor start_;
  QColor middle_;
  QColor end_;
};

}  // namespace orvida::app
