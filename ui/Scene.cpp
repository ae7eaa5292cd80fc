#include "Scene.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace {

const QColor kSky(170, 215, 255);
const QColor kGrass(90, 170, 70);
const QColor kPole(120, 80, 40);
const QColor kBody(120, 190, 240);
const QColor kOutline(30, 70, 150);
const QColor kAntennaBall(230, 40, 40);
const QColor kBubbleEdge(90, 90, 90);
const QColor kFlagEdge(200, 200, 200);

void DrawLandscape(QPainter& painter) {
  painter.fillRect(0, 0, kSceneWidth, kSceneHeight, kSky);
  painter.fillRect(0, 180, kSceneWidth, kSceneHeight - 180, kGrass);
}

// The cloth spans x 20..185, y 6..125; the flag text is laid over it by the window.
void DrawFlag(QPainter& painter) {
  painter.fillRect(186, 4, 6, 197, kPole);
  painter.setPen(kFlagEdge);
  painter.setBrush(Qt::white);
  painter.drawRect(20, 6, 165, 119);
}

void DrawLimb(QPainter& painter, QPoint from, QPoint to, int thickness) {
  painter.setPen(QPen(kOutline, thickness + 2, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(from, to);
  painter.setPen(QPen(kBody, thickness, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(from, to);
}

void DrawCharacter(QPainter& painter) {
  // Legs first so the body covers their tops; the feet stand in the grass.
  DrawLimb(painter, {245, 170}, {245, 192}, 10);
  DrawLimb(painter, {285, 170}, {285, 192}, 10);
  painter.setPen(QPen(kOutline, 1));
  painter.setBrush(kOutline);
  painter.drawEllipse(QRect(236, 190, 18, 8));
  painter.drawEllipse(QRect(276, 190, 18, 8));

  // The left arm holds the pole; the right one hangs down.
  DrawLimb(painter, {222, 118}, {194, 110}, 8);
  DrawLimb(painter, {308, 118}, {326, 152}, 8);
  painter.setPen(QPen(kOutline, 1));
  painter.setBrush(kBody);
  painter.drawEllipse(QPoint(193, 110), 6, 6);
  painter.drawEllipse(QPoint(327, 154), 5, 5);

  painter.setPen(QPen(kOutline, 2));
  painter.setBrush(kBody);
  painter.drawRoundedRect(QRect(215, 95, 100, 82), 28, 28);

  // Antenna behind the head.
  painter.setPen(QPen(kOutline, 2));
  painter.drawLine(265, 32, 265, 14);
  painter.setBrush(kAntennaBall);
  painter.drawEllipse(QPoint(265, 10), 5, 5);

  painter.setBrush(kBody);
  painter.drawEllipse(QRect(225, 30, 80, 70));

  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPoint(251, 58), 11, 12);
  painter.drawEllipse(QPoint(279, 58), 11, 12);
  painter.setBrush(Qt::black);
  painter.drawEllipse(QPoint(249, 60), 5, 5);
  painter.drawEllipse(QPoint(277, 60), 5, 5);

  painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(QRect(248, 66, 34, 20), 200 * 16, 140 * 16);
}

// The bubble spans x 368..575, y 24..100, its tail pointing left toward the head.
void DrawSpeechBubble(QPainter& painter) {
  QPainterPath bubble;
  bubble.addRoundedRect(QRectF(368, 24, 207, 76), 14, 14);
  QPainterPath tail;
  tail.moveTo(370, 52);
  tail.lineTo(314, 64);
  tail.lineTo(370, 72);
  tail.closeSubpath();
  painter.setPen(QPen(kBubbleEdge, 2));
  painter.setBrush(Qt::white);
  painter.drawPath(bubble.united(tail));
}

}  // namespace

QImage BuiltInScene() {
  QImage scene(kSceneWidth, kSceneHeight, QImage::Format_RGB32);
  QPainter painter(&scene);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawLandscape(painter);
  DrawFlag(painter);
  DrawCharacter(painter);
  DrawSpeechBubble(painter);
  painter.end();
  return scene.convertToFormat(QImage::Format_RGB888);
}
