#include "VupdaterStartWindow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>
#include <utility>

#include "QtPlatform.h"

namespace {

const QColor kGreenText(0, 128, 0);
const QColor kOrangeText(255, 128, 0);
const QColor kBlueText(0, 0, 255);
const QColor kButtonGreen(0, 255, 0);
const QColor kButtonPressed(0, 0, 255);

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QColor* colour = nullptr) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  if (colour != nullptr) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, *colour);
    label->setPalette(palette);
  }
  return label;
}

// The character's head from the main scene, drawn rather than shipped as a file.
QPixmap CharacterHead() {
  QPixmap picture(96, 104);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 3));
  painter.drawLine(48, 34, 48, 14);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(220, 30, 30));
  painter.drawEllipse(QPointF(48, 11), 7, 7);
  painter.setPen(QPen(QColor(70, 130, 190), 2));
  painter.setBrush(QColor(120, 190, 240));
  painter.drawEllipse(QPointF(48, 66), 36, 34);
  painter.setPen(QPen(QColor(40, 40, 40), 1.5));
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(34, 60), 12, 14);
  painter.drawEllipse(QPointF(62, 60), 12, 14);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawEllipse(QPointF(37, 63), 5, 6);
  painter.drawEllipse(QPointF(59, 63), 5, 6);
  painter.setPen(QPen(QColor(40, 40, 40), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(QRectF(36, 72, 24, 14), 200 * 16, 140 * 16);
  return picture;
}

}  // namespace

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  emit pressed();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(event);
  emit released();
  if (rect().contains(event->position().toPoint())) emit clicked();
}

VupdaterStartWindow::VupdaterStartWindow(Dialogs& dialogs, EventPump& pump, Desktop& desktop,
                                         ServerSettings server, std::filesystem::path programFolder,
                                         UpdateSafeguards safeguards, QWidget* parent)
    : QWidget(parent),
      logic_(*this, dialogs, pump, desktop, std::move(server), std::move(programFolder),
             std::move(safeguards)) {
  setObjectName("Vupdater_start");
  setWindowTitle(QStringLiteral("Det finns en ny Vimo!"));

  // The status line and the news carry what the server and its record say: plain text, never markup.
  label1_ = MakeLabel(this, "Label1", QString(), &kGreenText);
  label1_->setTextFormat(Qt::PlainText);
  QFont bold = label1_->font();
  bold.setBold(true);
  label1_->setFont(bold);

  auto* label2 = MakeLabel(this, "Label2", QStringLiteral("Tryck:"), &kOrangeText);
  label3_ = new ClickableLabel(QStringLiteral("HÄR"), this);
  label3_->setObjectName("Label3");
  label3_->setFont(bold);
  label3_->setAlignment(Qt::AlignCenter);
  label3_->setMinimumWidth(48);
  label3_->setCursor(Qt::PointingHandCursor);
  label3_->setAutoFillBackground(true);
  QPalette buttonPalette = label3_->palette();
  buttonPalette.setColor(QPalette::WindowText, kBlueText);
  label3_->setPalette(buttonPalette);
  SetLabel3Background(kButtonGreen);
  auto* label4 =
      MakeLabel(this, "Label4", QStringLiteral("för att starta automatisk uppdatering!"), &kOrangeText);

  auto* line2 = new QFrame(this);
  line2->setObjectName("Line2");
  line2->setFrameShape(QFrame::HLine);
  line2->setFrameShadow(QFrame::Sunken);

  auto* label5 =
      MakeLabel(this, "Label5", QStringLiteral("Om knappen inte fungerar, ladda ner manuellt via:"));
  auto* label6 = MakeLabel(this, "Label6", ToQString(ProductWebAddress()), &kBlueText);
  label6->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* label19 = MakeLabel(this, "Label19", QStringLiteral("Nyheter i den nya versionen:"), &kOrangeText);
  nyheter_ = MakeLabel(this, "Nyheter", QString());
  nyheter_->setTextFormat(Qt::PlainText);
  nyheter_->setWordWrap(true);
  nyheter_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  nyheter_->setMinimumHeight(80);
  auto* image1 = MakeLabel(this, "Image1", QString());
  image1->setPixmap(CharacterHead());
  image1->setAlignment(Qt::AlignRight | Qt::AlignBottom);

  auto* instruction = new QHBoxLayout;
  instruction->addWidget(label2);
  instruction->addWidget(label3_);
  instruction->addWidget(label4);
  instruction->addStretch();
  auto* news = new QHBoxLayout;
  news->addWidget(nyheter_, 1);
  news->addWidget(image1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(label1_);
  layout->addLayout(instruction);
  layout->addWidget(line2);
  layout->addWidget(label5);
  layout->addWidget(label6);
  layout->addWidget(label19);
  layout->addLayout(news, 1);
  resize(460, 300);

  connect(label3_, &ClickableLabel::pressed, this, &VupdaterStartWindow::Label3_MouseDown);
  connect(label3_, &ClickableLabel::released, this, &VupdaterStartWindow::Label3_MouseUp);
  connect(label3_, &ClickableLabel::clicked, this, &VupdaterStartWindow::Label3_Click);
}

void VupdaterStartWindow::Label3_MouseDown() {
  SetLabel3Background(kButtonPressed);
}

void VupdaterStartWindow::Label3_MouseUp() {
  SetLabel3Background(kButtonGreen);
}

void VupdaterStartWindow::SetLabel3Background(const QColor& colour) {
  QPalette palette = label3_->palette();
  palette.setColor(QPalette::Window, colour);
  label3_->setPalette(palette);
}

void VupdaterStartWindow::SetStatusText(const std::string& text) {
  label1_->setText(ToQString(text));
}

void VupdaterStartWindow::SetNewsText(const std::string& text) {
  nyheter_->setText(ToQString(text));
}

void VupdaterStartWindow::SetDownloadEnabled(bool enabled) {
  label3_->setEnabled(enabled);
}

void VupdaterStartWindow::CloseWindow() {
  close();
}
