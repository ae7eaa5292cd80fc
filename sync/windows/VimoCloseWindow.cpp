#include "VimoCloseWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "QtPlatform.h"

namespace {

constexpr int kWidth = 440;
constexpr int kHeight = 250;
// The printed lines start in the band above the controls and run on beneath them.
constexpr int kControlsTop = 120;

// `Image1`: a computer sending a brain up to the server, drawn here so the window needs no file.
QPixmap UploadPicture() {
  QPixmap picture(96, 96);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);

  // The server as a cloud at the top.
  painter.setPen(QPen(QColor(40, 70, 140), 2));
  painter.setBrush(QColor(200, 225, 255));
  QPainterPath cloud;
  for (const QRectF& puff : {QRectF(16, 10, 30, 22), QRectF(34, 2, 32, 30), QRectF(54, 10, 28, 22)}) {
    QPainterPath piece;
    piece.addEllipse(puff);
    cloud = cloud.united(piece);
  }
  painter.drawPath(cloud);

  // The arrow from the computer up to the cloud.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 120, 0));
  painter.drawRect(44, 40, 8, 16);
  const QPointF head[] = {{36, 42}, {60, 42}, {48, 32}};
  painter.drawPolygon(head, 3);

  // The computer with a pink brain on its screen.
  painter.setPen(QPen(QColor(60, 60, 60), 2));
  painter.setBrush(QColor(230, 230, 230));
  painter.drawRoundedRect(22, 58, 52, 30, 3, 3);
  painter.setBrush(QColor(30, 30, 60));
  painter.drawRect(27, 62, 42, 22);
  painter.setPen(QPen(QColor(150, 60, 90), 1));
  painter.setBrush(QColor(240, 150, 180));
  painter.drawEllipse(38, 65, 20, 16);
  painter.drawLine(48, 65, 48, 81);
  painter.setPen(QPen(QColor(60, 60, 60), 2));
  painter.drawLine(40, 90, 56, 90);
  return picture;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* utf8Text, const QColor& colour,
                  int pointSize, const QRect& geometry) {
  auto* label = new QLabel(QString::fromUtf8(utf8Text), parent);
  label->setObjectName(QString::fromUtf8(name));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSize(pointSize);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(geometry);
  // The printed lines lie beneath the controls: each control paints its own background over them.
  label->setAutoFillBackground(true);
  return label;
}

}  // namespace

VimoCloseWindow::VimoCloseWindow(ProgramValues& values, QWidget* parent) : QWidget(parent), values_(values) {
  setObjectName(QStringLiteral("Vimo_close"));
  setWindowTitle(QString::fromUtf8("Laddar upp Vimos hjärna..."));
  setFixedSize(kWidth, kHeight);

  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setPixmap(UploadPicture());
  image->setGeometry(16, kControlsTop + 12, 96, 96);
  image->setAutoFillBackground(true);

  auto* line = new QFrame(this);
  line->setObjectName(QStringLiteral("Line1"));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(8, kControlsTop, kWidth - 16, 4);
  line->setAutoFillBackground(true);

  MakeLabel(this, "Label1", "Vimo laddar upp allt nytt han lärt sig!", QColor(0, 100, 0), 10,
            QRect(120, kControlsTop + 12, kWidth - 130, 24));
  MakeLabel(this, "Label3", "VAR GOD VÄNTA!", Qt::red, 18, QRect(120, kControlsTop + 44, kWidth - 130, 40));
  MakeLabel(this, "Label4", "TRYCK INGENSTANS!", Qt::red, 10,
            QRect(120, kControlsTop + 90, kWidth - 130, 24));
}

void VimoCloseWindow::Show() {
  printed_.clear();
  show();
  raise();
  DrawNow();
}

void VimoCloseWindow::PrintLine(const std::string& text) {
  printed_.append(ToQString(text));
  if (isVisible()) DrawNow();
}

void VimoCloseWindow::Close() {
  close();
}

void VimoCloseWindow::closeEvent(QCloseEvent* event) {
  if (values_.CloseWindowMayClose) {
    event->accept();
  } else {
    event->ignore();
  }
}

void VimoCloseWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics metrics(font());
  int baseline = metrics.ascent() + 2;
  for (const QString& line : printed_) {
    painter.drawText(4, baseline, line);
    baseline += metrics.height();
  }
}

void VimoCloseWindow::DrawNow() {
  // The upload blocks the event loop, so the window is exposed and painted here. User input and
  // timers stay queued: nothing the user or the chat does may run in the middle of the upload.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
  repaint();
}
