#include "tree/book_pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace pu {
namespace {

// Cover colours by depth: deeper rows are lighter, so levels read apart.
const QColor kCovers[4] = {QColor(40, 70, 150), QColor(30, 120, 110), QColor(140, 80, 30), QColor(110, 50, 120)};

void drawClosedBook(QPainter& p, const QColor& cover) {
  p.setPen(cover.darker(160));
  p.setBrush(QColor(250, 250, 240));
  p.drawRect(5, 3, 18, 11);  // the pages' edge under the cover
  p.setBrush(cover);
  p.drawRect(3, 1, 18, 12);
  p.setPen(cover.lighter(170));
  p.drawLine(6, 2, 6, 12);  // spine
}

void drawOpenBook(QPainter& p, const QColor& cover) {
  p.setPen(cover.darker(160));
  p.setBrush(cover);
  p.drawRect(1, 3, 24, 11);
  p.setBrush(QColor(252, 252, 245));
  QPainterPath left, right;
  left.moveTo(13, 4);
  left.quadTo(7, 1, 2, 3);
  left.lineTo(2, 12);
  left.quadTo(7, 10, 13, 13);
  right.moveTo(13, 4);
  right.quadTo(19, 1, 24, 3);
  right.lineTo(24, 12);
  right.quadTo(19, 10, 13, 13);
  p.drawPath(left);
  p.drawPath(right);
  p.setPen(QColor(160, 160, 160));
  for (int y = 6; y <= 10; y += 2) {
    p.drawLine(4, y, 11, y);
    p.drawLine(15, y, 22, y);
  }
}

void drawTick(QPainter& p) {
  p.setPen(QPen(QColor(0, 150, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygon({QPoint(23, 8), QPoint(26, 12), QPoint(31, 3)}));
}

void drawCreateNew(QPainter& p, const QColor& cover) {
  p.setPen(QPen(cover, 1, Qt::DashLine));
  p.setBrush(Qt::NoBrush);
  p.drawRect(3, 1, 18, 12);
  p.setPen(QPen(QColor(0, 140, 0), 2));
  p.drawLine(12, 4, 12, 11);
  p.drawLine(8, 7, 16, 7);
}

QPixmap picture(int kind, int shade) {
  QPixmap pixmap(kBookWidth, kBookHeight);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor& cover = kCovers[shade];
  bool picked = kind == 211 || kind == 221;
  if (kind == 301)
    drawCreateNew(p, cover);
  else if (kind == 111 || kind == 211)
    drawClosedBook(p, cover);
  else
    drawOpenBook(p, cover);
  if (picked) drawTick(p);
  return pixmap;
}

} // namespace

QHash<int, QPixmap> BookPictures() {
  QHash<int, QPixmap> pictures;
  for (int kind : {111, 121, 211, 221, 301})
    for (int shade = 0; shade < 4; ++shade) pictures.insert(kind + shade, picture(kind, shade));
  return pictures;
}

} // namespace pu
