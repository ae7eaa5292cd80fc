#include "VimoLoadWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>

#include "QtPlatform.h"

namespace {

constexpr int kWidth = 330;
constexpr int kHeight = 480;
constexpr int kCarTop = 128;
constexpr int kCarWidth = 44;
constexpr int kCarHeight = 26;
constexpr int kHouseLeftTwips = 3720;

// A small red car facing right, drawn here so the window needs no picture files.
QPixmap CarPicture() {
  QPixmap picture(kCarWidth, kCarHeight);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(90, 0, 0), 1));
  painter.setBrush(QColor(210, 30, 30));
  QPainterPath body;
  body.moveTo(1, 19);
  body.lineTo(1, 11);
  body.lineTo(10, 10);
  body.lineTo(16, 3);
  body.lineTo(31, 3);
  body.lineTo(37, 10);
  body.lineTo(43, 12);
  body.lineTo(43, 19);
  body.closeSubpath();
  painter.drawPath(body);
  painter.setBrush(QColor(190, 225, 250));
  painter.drawRect(17, 5, 6, 5);
  painter.drawRect(25, 5, 6, 5);
  painter.setBrush(QColor(255, 230, 90));
  painter.drawEllipse(39, 13, 4, 3);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(QColor(40, 40, 40));
  painter.drawEllipse(6, 15, 10, 10);
  painter.drawEllipse(29, 15, 10, 10);
  painter.setBrush(QColor(170, 170, 170));
  painter.drawEllipse(9, 18, 4, 4);
  painter.drawEllipse(32, 18, 4, 4);
  return picture;
}

// The house the car drives to: walls, a roof, a door and a window.
QPixmap HousePicture() {
  QPixmap picture(44, 44);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 40, 20), 1));
  painter.setBrush(QColor(240, 220, 170));
  painter.drawRect(5, 19, 34, 24);
  painter.setBrush(QColor(170, 50, 40));
  const QPointF roof[] = {{1, 20}, {22, 2}, {43, 20}};
  painter.drawPolygon(roof, 3);
  painter.setBrush(QColor(120, 80, 40));
  painter.drawRect(10, 28, 9, 15);
  painter.setBrush(QColor(190, 225, 250));
  painter.drawRect(25, 25, 10, 9);
  return picture;
}

QString Disclaimer() {
  return QString::fromUtf8(
             "Eftersom detta program helt baseras på tankar och åsikter hos människor utom "
             "företaget Molvarstedik, kan inte heller Molvarstedik hållas ansvarig för vad som "
             "skrivs i detta program.") +
         QString(22, u' ') +
         QString::fromUtf8(
             "Rasistiska, kränkande, eller andra olämpliga svar som kan uppträda i detta program "
             "måste därför skyllas på den enskilde användaren.") +
         QString(84, u' ') +
         QString::fromUtf8(
             "Vi på Molvarstedik gör dock vårat bästa för att försöka radera dessa svar så fort "
             "som möjligt.");
}

}  // namespace

VimoLoadWindow::VimoLoadWindow(ProgramValues& values, StartupServices services, ServerSettings settings,
                               std::filesystem::path folder, QWidget* parent)
    : QWidget(parent),
      sequence_(std::make_unique<StartupSequence>(*this, values, services, std::move(settings),
                                                  std::move(folder))) {
  setObjectName("Vimo_load");
  setWindowTitle(QString::fromUtf8("Laddar ner Vimos hjärna..."));
  setFixedSize(kWidth, kHeight);

  AddLabel("Label2", "Laddar Vimo version:", 8, 6, 130, 18);
  QLabel* version = AddLabel("daversion", QString::number(kProgramVersion), 138, 6, 40, 18);
  version->resize(version->sizeHint().width(), version->height());

  struct StepRow {
    StartupCheck box;
    const char* checkName;
    const char* labelName;
    const char* text;
  };
  const StepRow rows[] = {
      {StartupCheck::Steg1_chk, "Steg1_chk", "Steg1_beskrivning", "Hjärnan laddas ner..."},
      {StartupCheck::Steg1_Del2_chk, "Steg1_Del2_chk", "Label3", "Säkerhetskopierar hjärnan..."},
      {StartupCheck::Steg2_chk, "Steg2_chk", "Steg2_beskrivning", "Versionsinformation uppdateras..."},
      {StartupCheck::Steg3_chk, "Steg3_chk", "Steg3_beskrivning", "Flaggmeddelandet läses in..."},
  };
  int top = 32;
  for (const StepRow& row : rows) {
    auto* box = new QCheckBox(this);
    box->setObjectName(row.checkName);
    box->setGeometry(8, top, 18, 18);
    box->setChecked(false);
    box->setAutoFillBackground(true);
    checks_[row.box] = box;
    QLabel* label = AddLabel(row.labelName, QString::fromUtf8(row.text), 30, top, 280, 18);
    // Only as wide as its text, so that printed lines stay readable beside it.
    label->resize(label->sizeHint().width(), label->height());
    top += 22;
  }

  Bil = AddLabel("Bil", {}, 120 / kTwipsPerPixel, kCarTop, kCarWidth, kCarHeight);
  Bil->setPixmap(CarPicture());
  QLabel* house = AddLabel("Hus", {}, kHouseLeftTwips / kTwipsPerPixel, kCarTop - 18, 44, 44);
  house->setPixmap(HousePicture());
  // Pictures show what lies behind their transparent parts, so that the car at its goal stands
  // in front of the house instead of being hidden under it.
  for (QLabel* picture : {Bil, house}) picture->setAutoFillBackground(false);
  Bil->raise();

  struct NoticeRow {
    StartupNotice notice;
    const char* name;
    const char* text;
    int top;
    int height;
  };
  const NoticeRow notices[] = {
      {StartupNotice::Speciellbild_info, "Speciellbild_info",
       "Det är en högtid idag! Var god vänta medan Vimo tar på sig sina festkläder...", 160, 36},
      {StartupNotice::Användarnummer_info, "Användarnummer_info", "Nu har vi *vänta* användare...", 198, 18},
      {StartupNotice::Inet_information, "Inet_information",
       "Vimo har upptäckt att det är första gången han körs, informerar Molvarstedik om att Vimo "
       "fått en ny användare! :D",
       218, 52},
      {StartupNotice::Hjärnaförstörd_lbl1, "Hjärnaförstörd_lbl1", "Vimos hjärna har blivit förstörd!", 272,
       18},
      {StartupNotice::Hjärnaförstörd_lbl2, "Hjärnaförstörd_lbl2", "Återställer...", 290, 18},
  };
  for (const NoticeRow& row : notices) {
    QLabel* label = AddLabel(row.name, QString::fromUtf8(row.text), 8, row.top, kWidth - 16, row.height);
    label->setWordWrap(true);
    QPalette red = label->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label->setPalette(red);
    label->hide();
    notices_[row.notice] = label;
  }

  QLabel* warning = AddLabel("Varning", "VARNING!", 8, 316, 120, 18);
  QFont bold = warning->font();
  bold.setBold(true);
  warning->setFont(bold);
  QLabel* disclaimer = AddLabel("Label1", Disclaimer(), 8, 336, kWidth - 16, kHeight - 340);
  disclaimer->setTextFormat(Qt::PlainText);
  disclaimer->setWordWrap(true);
  disclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  Timer_laddanerbrain = new QTimer(this);
  Timer_laddanerbrain->setObjectName("Timer_laddanerbrain");
  Timer_laddanerbrain->setInterval(10);
  connect(Timer_laddanerbrain, &QTimer::timeout, this, &VimoLoadWindow::Timer_laddanerbrain_Timer);
}

VimoLoadWindow::~VimoLoadWindow() = default;

QLabel* VimoLoadWindow::AddLabel(const char* name, const QString& text, int left, int top, int width,
                                 int height) {
  auto* label = new QLabel(text, this);
  label->setObjectName(QString::fromUtf8(name));
  label->setGeometry(left, top, width, height);
  // The printed lines lie beneath the controls: each control paints its own background over them.
  label->setAutoFillBackground(true);
  return label;
}

void VimoLoadWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!timerStarted_) {
    timerStarted_ = true;
    Timer_laddanerbrain->start();
  }
}

void VimoLoadWindow::Timer_laddanerbrain_Timer() {
  sequence_->Timer_laddanerbrain_Timer();
}

void VimoLoadWindow::closeEvent(QCloseEvent* event) {
  Timer_laddanerbrain->stop();
  sequence_->Abandon();
  QWidget::closeEvent(event);
}

void VimoLoadWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  const QFontMetrics metrics(font());
  int baseline = metrics.ascent();
  for (const QString& line : printed_) {
    painter.drawText(0, baseline, line);
    baseline += metrics.lineSpacing();
  }
}

void VimoLoadWindow::StopTimer() {
  Timer_laddanerbrain->stop();
}

void VimoLoadWindow::MoveCar(int leftTwips) {
  Bil->move(leftTwips / kTwipsPerPixel, kCarTop);
}

void VimoLoadWindow::Check(StartupCheck box) {
  checks_.at(box)->setChecked(true);
}

void VimoLoadWindow::ShowNotice(StartupNotice notice, bool visible) {
  notices_.at(notice)->setVisible(visible);
}

void VimoLoadWindow::SetUserCountText(const std::string& text) {
  notices_.at(StartupNotice::Användarnummer_info)->setText(ToQString(text));
}

void VimoLoadWindow::PrintLine(const std::string& text) {
  printed_.append(ToQString(text));
  update();
}

void VimoLoadWindow::HandOver() {
  emit handOverRequested();
  close();
}

void VimoLoadWindow::EndProgram() {
  Timer_laddanerbrain->stop();
  hide();
  emit endRequested();
}
