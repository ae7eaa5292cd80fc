#include "VimoWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <limits>
#include <utility>

#include "BrainStore.h"
#include "ChatEngine.h"
#include "ClickableLabel.h"
#include "EspeakVoice.h"
#include "ItemReader.h"
#include "ProgramValues.h"
#include "QtPlatform.h"
#include "Scene.h"
#include "Settings.h"
#include "SystemEnvironment.h"
#include "TextFile.h"
#include "VimoCloseWindow.h"
#include "WebPageStrip.h"

namespace {

void MakeCondensed(QWidget* control) {
  QFont narrow = control->font();
  narrow.setStretch(QFont::Condensed);
  control->setFont(narrow);
}

constexpr int kRandomTalkFirstInterval = 20000;
constexpr int kBrainIndexCheckInterval = 1000;
constexpr int kTabsCaptionGap = 3;
const QColor kSelectedTab(255, 0, 0);
const QColor kOtherTab(255, 255, 255);

int Pixels(int twips) {
  return (twips + VimoWindow::kTwipsPerPixel / 2) / VimoWindow::kTwipsPerPixel;
}

QRect FromTwips(int left, int top, int width, int height) {
  return QRect(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

// Creates a child control, names it and puts it in place; the constructor arguments come before
// the parent, as Qt's widgets take them.
template <class Control, class... Arguments>
Control* Place(QWidget* parent, const char* name, const QRect& geometry, Arguments&&... arguments) {
  auto* control = new Control(std::forward<Arguments>(arguments)..., parent);
  control->setObjectName(QString::fromUtf8(name));
  control->setGeometry(geometry);
  return control;
}

// A label whose size follows its text (the ones that were only given a position).
QLabel* PlaceLabel(QWidget* parent, const char* name, int leftTwips, int topTwips, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  label->move(Pixels(leftTwips), Pixels(topTwips));
  label->adjustSize();
  return label;
}

// Headings placed by position only grow with their bigger type; the others keep their given size.
void MakeHeading(QLabel* label, int pointSize, bool sizeToText) {
  QFont font = label->font();
  font.setBold(true);
  font.setPointSize(pointSize);
  label->setFont(font);
  if (sizeToText) label->adjustSize();
}

QCheckBox* PlaceCheckBox(QWidget* parent, const char* name, const QRect& geometry) {
  auto* box = Place<QCheckBox>(parent, name, geometry);
  box->setChecked(true);
  return box;
}

QSlider* PlaceSlider(QWidget* parent, const char* name, const QRect& geometry) {
  auto* slider = Place<QSlider>(parent, name, geometry, Qt::Horizontal);
  slider->setRange(1, 3);
  slider->setSingleStep(1);
  slider->setPageStep(1);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(1);
  slider->setValue(2);
  return slider;
}

QFrame* PlaceLine(QWidget* parent, const char* name, const QRect& geometry, QFrame::Shape shape) {
  auto* line = Place<QFrame>(parent, name, geometry);
  line->setFrameShape(shape);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// Text that arrives from the brain or the flag file is shown as it is, never as markup.
QLabel* PlaceTextLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
  auto* label = Place<QLabel>(parent, name, geometry, text);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

// The bubble keeps its size. A sentence too long for it is set in smaller type, down to the
// smallest that stays readable, and only beyond that loses part of its middle, so that its end (for
// the teaching prompt: the end of the question and its "'?") always stays in sight. The tooltip
// holds the whole sentence.
constexpr int kSmallestReplyPointSize = 6;

bool FitsIn(const QRect& area, const QFont& font, const QString& text) {
  const QRect needed =
      QFontMetrics(font).boundingRect(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
  return needed.width() <= area.width() && needed.height() <= area.height();
}

// The longest form of `text` that fits, keeping two characters of its start for one of its end.
QString WithoutItsMiddle(const QRect& area, const QFont& font, const QString& text) {
  const auto shortened = [&text](qsizetype kept) {
    const qsizetype end = kept / 3;
    return text.left(kept - end) + QChar(0x2026) + text.right(end);
  };
  qsizetype low = 0;
  qsizetype high = text.size();
  while (low < high) {
    const qsizetype middle = (low + high + 1) / 2;
    if (FitsIn(area, font, shortened(middle))) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return shortened(low);
}

void ShowFitted(QLabel* label, const QFont& normal, const QString& text) {
  const QRect area = label->contentsRect();
  QFont font = normal;
  while (!FitsIn(area, font, text) && font.pointSize() > kSmallestReplyPointSize) {
    font.setPointSize(font.pointSize() - 1);
  }
  label->setFont(font);
  label->setText(FitsIn(area, font, text) ? text : WithoutItsMiddle(area, font, text));
  label->setToolTip(text);
}

}  // namespace

VimoWindow::VimoWindow(VimoWindowServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  if (services_.waiter == nullptr) {
    ownWaiter_ = std::make_unique<SleepingWaiter>();
    services_.waiter = ownWaiter_.get();
  }
  if (services_.pump == nullptr) {
    ownPump_ = std::make_unique<QtEventPump>();
    services_.pump = ownPump_.get();
  }
  if (services_.random == nullptr) {
    ownRandom_ = std::make_unique<ClockSeededRandom>();
    services_.random = ownRandom_.get();
  }
  if (services_.clock == nullptr) {
    ownClock_ = std::make_unique<LocalClock>();
    services_.clock = ownClock_.get();
  }

  setObjectName(QStringLiteral("Vimo"));
  setWindowTitle(QStringLiteral("Vimo"));
  // The size follows the settings panel alone: no maximise button, and no resizing by the frame.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  // The controls were laid out for small 8-point type; the input box sets its own.
  QFont smallType = font();
  smallType.setPointSize(8);
  setFont(smallType);
  SetOuterWidthTwips(kFoldedInOuterWidth);

  CreateMainControls();
  CreateSettingsPanel();
  engine_ = std::make_unique<ChatEngine>(*this, *services_.waiter, *services_.pump, *services_.random,
                                         *services_.clock, services_.folder);
  if (services_.dialogs == nullptr) {
    ownDialogs_ = std::make_unique<MessageBoxDialogs>(this);
    services_.dialogs = ownDialogs_.get();
  }
  closeWindow_ = std::make_unique<VimoCloseWindow>(services_.values);
  server_ = std::make_unique<MainWindowServer>(
      *this, *closeWindow_, services_.values, *services_.dialogs, *services_.pump,
      services_.settings.value_or(ReadServerSettings()), services_.folder);
  animation_ = std::make_unique<vimo::AnimationPlayback>(*this);
  ConnectHandlers();
  Form_Load();
}

VimoWindow::~VimoWindow() {
  // The controls outlive this body; keep them from reaching the engine while they are torn down.
  randomTalkTimer_->stop();
  animationTimer_->stop();
  brainIndexTimer_->stop();
  input_->removeEventFilter(this);
  server_.reset();
  engine_.reset();
  if (services_.values.Voice == voice_.get()) services_.values.Voice = nullptr;
}

void VimoWindow::CreateMainControls() {
  picture_ = Place<QLabel>(this, "Picture1", QRect(0, 0, kSceneWidth, kSceneHeight));
  picture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture_->setPixmap(QPixmap::fromImage(BuiltInScene()));
  // The box's own colour shows where the holiday animation leaves it bare; the scene covers it
  // on other days.
  picture_->setAutoFillBackground(true);

  input_ = Place<QLineEdit>(this, "meddelande", FromTwips(0, 3120, 9135, 735));
  input_->setFont(QFont(QStringLiteral("Arial"), 12));
  // The engine answers over-long lines itself; the box must not cut them short first.
  input_->setMaxLength(std::numeric_limits<int>::max());
  input_->installEventFilter(this);

  reply_ = PlaceTextLabel(this, "Svar", FromTwips(5640, 480, 2775, 975), QString());
  reply_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  correctButton_ = Place<QPushButton>(this, "Ändra", FromTwips(6000, 1800, 2055, 255),
                                      QStringLiteral("Ändra detta svar!"));
  correctButton_->setEnabled(false);

  flagText_ = PlaceTextLabel(this, "Medd", FromTwips(400, 150, 2295, 1695), QStringLiteral("200"));
  flagText_->setAlignment(Qt::AlignCenter);

  // The caption ends a pixel short of the first tab and its text a few pixels more, so that
  // "Tryck:" and "Användare" never run together.
  auto* tabsCaption =
      Place<QLabel>(this, "Label11", FromTwips(360, 1920, 480, 255), QStringLiteral("Tryck:"));
  tabsCaption->setTextFormat(Qt::PlainText);
  tabsCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  tabsCaption->setContentsMargins(0, 0, kTabsCaptionGap, 0);
  MakeCondensed(tabsCaption);
  usersTab_ = Place<ClickableLabel>(this, "Flaggmeddelande_Knapp", FromTwips(840, 1920, 975, 255),
                                    QStringLiteral("Användare"));
  usersTab_->SetBackground(kOtherTab);
  adminTab_ = Place<ClickableLabel>(this, "Adminmeddelande_Knapp", FromTwips(1800, 1920, 975, 255),
                                    QStringLiteral("Admin"));
  adminTab_->SetBackground(kSelectedTab);

  editFlagButton_ = Place<QPushButton>(this, "Ändraflagga", FromTwips(480, 2280, 2055, 255),
                                       QStringLiteral("Ändra denna text!"));
  editFlagButton_->setEnabled(false);
  refreshFlagButton_ = Place<QPushButton>(this, "Cmd_Uppdatera", FromTwips(600, 2640, 1815, 255),
                                          QStringLiteral("Uppdatera meddelande!"));
  refreshFlagButton_->setEnabled(false);

  // Wider than the client area on purpose: the window's edge clips it.
  webPage_ = Place<WebPageStrip>(this, "WebBrowser1", FromTwips(0, 3840, 9495, 1935));

  settingsButton_ = Place<QPushButton>(this, "Cmd_inställningar", FromTwips(7920, 4920, 1215, 255),
                                       QStringLiteral("Inställningar >>"));

  randomTalkTimer_ = new QTimer(this);
  randomTalkTimer_->setObjectName(QStringLiteral("Timer_Vimopratslump"));
  randomTalkTimer_->setInterval(kRandomTalkFirstInterval);
  randomTalkTimer_->start();
  animationTimer_ = new QTimer(this);
  animationTimer_->setObjectName(QStringLiteral("AnimationTimer"));
  brainIndexTimer_ = new QTimer(this);
  brainIndexTimer_->setObjectName(QStringLiteral("brainIndexTimer"));

  // The buttons are only 17 pixels high and sized for narrow type; a condensed face keeps their
  // captions whole where the system font is wide.
  for (QPushButton* button : {correctButton_, editFlagButton_, refreshFlagButton_, settingsButton_}) {
    MakeCondensed(button);
  }

  // Everything drawn over the picture or the page must stay above them.
  for (QWidget* overlay :
       std::initializer_list<QWidget*>{reply_, correctButton_, flagText_, tabsCaption, usersTab_, adminTab_,
                                       editFlagButton_, refreshFlagButton_, settingsButton_}) {
    overlay->raise();
  }
}

void VimoWindow::CreateSettingsPanel() {
  MakeHeading(Place<QLabel>(this, "Label3", FromTwips(9240, 0, 975, 495), QStringLiteral("Vimo")), 16, false);
  auto* settingsHeading =
      Place<QLabel>(this, "Label4", FromTwips(9600, 480, 1095, 375), QStringLiteral("Inställningar"));
  MakeHeading(settingsHeading, 8, false);
  MakeCondensed(settingsHeading);
  MakeHeading(PlaceLabel(this, "Label5", 9240, 960, "Tal"), 10, true);
  PlaceLabel(this, "Label6", 9240, 1440, "På/Av:");
  speechCheck_ = PlaceCheckBox(this, "Chk_tal", FromTwips(9840, 1440, 255, 255));
  PlaceLabel(this, "Label7", 9240, 1800, "Hastighet:");
  speechRate_ = PlaceSlider(this, "Tal_hastighet", FromTwips(9240, 2040, 1335, 255));

  // The frame is opaque: the web page strip runs underneath it when the panel is out.
  randomTalkFrame_ = Place<QGroupBox>(this, "Frame1", FromTwips(9130, 2520, 1575, 2685));
  randomTalkFrame_->setAutoFillBackground(true);
  QWidget* frame = randomTalkFrame_;
  MakeHeading(PlaceLabel(frame, "Label8", 120, 120, "Slumpprat"), 9, true);
  PlaceLabel(frame, "Label9", 120, 600, "På/Av:");
  randomTalkCheck_ = PlaceCheckBox(frame, "Chk_slumpprat", FromTwips(720, 600, 255, 255));
  PlaceLabel(frame, "Label10", 120, 960, "Frekvens:");
  randomTalkFrequency_ = PlaceSlider(frame, "Slumpprat_Frekvens", FromTwips(120, 1200, 1335, 255));
  QLabel* sliderEnds = PlaceLabel(frame, "Label2", 120, 1440, "Sällan             Ofta");
  MakeCondensed(sliderEnds);
  sliderEnds->adjustSize();
  MakeHeading(PlaceLabel(frame, "Bhajs", 120, 1920, "Animation"), 9, true);
  PlaceLabel(frame, "Label1", 120, 2280, "På/Av:");
  animationCheck_ = Place<QCheckBox>(frame, "Chk_animation", FromTwips(720, 2280, 255, 255));
  animationCheck_->setTristate(true);
  animationCheck_->setCheckState(Qt::PartiallyChecked);
  animationCheck_->setEnabled(false);

  PlaceLine(this, "Line1", FromTwips(9150, 0, 30, 2520), QFrame::VLine);
  PlaceLine(this, "Line2", FromTwips(9240, 870, 1470, 30), QFrame::HLine);
  PlaceLine(this, "Line3", FromTwips(9240, 2400, 1470, 30), QFrame::HLine);
  PlaceLine(frame, "Line4", FromTwips(120, 840, 1335, 30), QFrame::HLine);
  PlaceLine(frame, "Line5", FromTwips(120, 1800, 1335, 30), QFrame::HLine);
  randomTalkFrame_->raise();
}

void VimoWindow::ConnectHandlers() {
  connect(correctButton_, &QPushButton::clicked, this, [this] {
    engine_->Ändra_Click();
    // The click took the focus; the correction is typed into the box.
    input_->setFocus();
  });
  connect(randomTalkTimer_, &QTimer::timeout, this, [this] { engine_->Timer_Vimopratslump_Timer(); });
  connect(speechCheck_, &QCheckBox::clicked, this, [this] { engine_->Chk_tal_Click(); });
  connect(randomTalkCheck_, &QCheckBox::clicked, this, [this] { engine_->Chk_slumpprat_Click(); });
  connect(settingsButton_, &QPushButton::clicked, this, &VimoWindow::Cmd_inställningar_Click);
  connect(usersTab_, &ClickableLabel::clicked, this, [this] { server_->Flaggmeddelande_Knapp_Click(); });
  connect(adminTab_, &ClickableLabel::clicked, this, [this] { server_->Adminmeddelande_Knapp_Click(); });
  connect(editFlagButton_, &QPushButton::clicked, this, [this] { server_->Ändraflagga_Click(); });
  connect(refreshFlagButton_, &QPushButton::clicked, this, [this] { server_->Cmd_Uppdatera_Click(); });
  connect(animationTimer_, &QTimer::timeout, this, [this] { animation_->AnimationTimer_Timer(); });
  // Slices back to back while some of the near-match table is left, then a look now and then
  // for a brain a correction rewrote.
  connect(brainIndexTimer_, &QTimer::timeout, this, [this] {
    brainIndexTimer_->setInterval(engine_->Brain().IndexInIdleTime() ? 0 : kBrainIndexCheckInterval);
  });
  connect(animationCheck_, &QCheckBox::clicked, this, [this] { animation_->Chk_animation_Click(); });
}

void VimoWindow::Form_Load() {
  if (ownRandom_) ownRandom_->SeedFromClock();
  NavigateWebPage(ProductWebAddress());
  ShowAdministratorMessage();

  voice_ = services_.makeVoice ? services_.makeVoice() : EspeakVoice::Start();
  services_.values.Voice = voice_.get();
  engine_->SetVoice(voice_.get());

  if (services_.values.HolidayToday) {
    animation_->SetUpHoliday(services_.values.HolidayAnimationInterval,
                             services_.folder / PathFromUtf8(vimo::AnimationPlayback::kHolidayImagePath));
  }

  // The brain's index is built now, before the first question; what near matches need besides
  // is built while the window is idle.
  engine_->Brain().CountBrainCells();
  brainIndexTimer_->start(0);

  services_.values.UploadRetry = false;
  services_.values.CloseWindowMayClose = false;
  services_.values.UploadErrorShown = false;
}

void VimoWindow::NavigateWebPage(const std::string& address) {
  // The address is a bare host name; the page is served over plain HTTP.
  webPage_->Navigate(QUrl(QStringLiteral("http://") + ToQString(address)));
}

void VimoWindow::ShowAdministratorMessage() {
  // Without the file the flag is simply empty; the start-up normally fetches it first.
  const std::string content = ReadFileBytes(services_.folder / "medd.txt").value_or(std::string());
  ItemReader reader(content);
  reader.Next();  // the users' message
  flagText_->setText(ToQString(BrainStore::ToShown(reader.Next())));
}

int VimoWindow::OuterWidthTwips() const {
  return width() * kTwipsPerPixel + (kFoldedInOuterWidth - 9135);
}

void VimoWindow::SetOuterWidthTwips(int twips) {
  setFixedSize((twips - (kFoldedInOuterWidth - 9135)) / kTwipsPerPixel, kClientHeight);
}

void VimoWindow::Cmd_inställningar_Click() {
  if (OuterWidthTwips() != kFoldedInOuterWidth) {
    SetOuterWidthTwips(kFoldedInOuterWidth);
    settingsButton_->setText(QStringLiteral("Inställningar >>"));
  } else {
    SetOuterWidthTwips(kFoldedOutOuterWidth);
    settingsButton_->setText(QStringLiteral("Inställningar <<"));
  }
}

bool VimoWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == input_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    // Ctrl or Alt with Enter is not the Enter character; leave those to the box.
    const bool plain = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (enter && plain) {
      engine_->meddelande_KeyPress(13);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::string VimoWindow::InputText() const {
  return FromQString(input_->text());
}

void VimoWindow::SetInputText(const std::string& text) {
  input_->setText(ToQString(text));
}

void VimoWindow::SetReplyCaption(const std::string& text) {
  // The bot's sentences break lines with a lone carriage return, which a label would show as a
  // blank; every line end is drawn as the line break it stands for.
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  ShowFitted(reply_, font(), shown);
}

void VimoWindow::SetCorrectButtonEnabled(bool enabled) {
  correctButton_->setEnabled(enabled);
}

int VimoWindow::SpeechCheckValue() const {
  return speechCheck_->isChecked() ? 1 : 0;
}

int VimoWindow::SpeechRateValue() const {
  return speechRate_->value();
}

void VimoWindow::SetSpeechRateEnabled(bool enabled) {
  speechRate_->setEnabled(enabled);
}

int VimoWindow::RandomTalkCheckValue() const {
  return randomTalkCheck_->isChecked() ? 1 : 0;
}

int VimoWindow::RandomTalkFrequencyValue() const {
  return randomTalkFrequency_->value();
}

void VimoWindow::SetRandomTalkFrequencyEnabled(bool enabled) {
  randomTalkFrequency_->setEnabled(enabled);
}

void VimoWindow::SetRandomTalkInterval(int milliseconds) {
  randomTalkTimer_->setInterval(milliseconds);
}

void VimoWindow::SetFlagText(const std::string& text) {
  flagText_->setText(ToQString(text));
}

void VimoWindow::SelectFlagTab(FlagTab tab) {
  usersTab_->SetBackground(tab == FlagTab::Users ? kSelectedTab : kOtherTab);
  adminTab_->SetBackground(tab == FlagTab::Admin ? kSelectedTab : kOtherTab);
}

void VimoWindow::SetFlagButtonsEnabled(bool enabled) {
  editFlagButton_->setEnabled(enabled);
  refreshFlagButton_->setEnabled(enabled);
}

void VimoWindow::ShowAgain() {
  show();
  raise();
  activateWindow();
}

int VimoWindow::PictureWidth() const {
  return picture_->width();
}

int VimoWindow::PictureHeight() const {
  return picture_->height();
}

std::uint32_t VimoWindow::PictureBackColor() const {
  return static_cast<std::uint32_t>(picture_->palette().color(picture_->backgroundRole()).rgb()) &
         0x00FFFFFFu;
}

void VimoWindow::SetPictureNone() {
  picture_->setPixmap(QPixmap());
}

void VimoWindow::SetPictureStill(const vimo::Raster& still) {
  DrawIntoPicture(still);
}

void VimoWindow::DrawIntoPicture(const vimo::Raster& surface) {
  // Rasters leave the alpha byte 0; RGB32 wants it 0xFF.
  QImage image(surface.Width(), surface.Height(), QImage::Format_RGB32);
  for (int y = 0; y < surface.Height(); ++y) {
    const std::uint32_t* source = surface.Row(y);
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < surface.Width(); ++x) target[x] = source[x] | 0xFF000000u;
  }
  picture_->setPixmap(QPixmap::fromImage(std::move(image)));
}

void VimoWindow::SetAnimationTimerInterval(int milliseconds) {
  animationTimer_->setInterval(milliseconds);
}

void VimoWindow::SetAnimationTimerEnabled(bool enabled) {
  // Enabling a running timer must not restart its interval.
  if (!enabled)
    animationTimer_->stop();
  else if (!animationTimer_->isActive())
    animationTimer_->start();
}

int VimoWindow::AnimationCheckValue() const {
  switch (animationCheck_->checkState()) {
    case Qt::Unchecked:
      return 0;
    case Qt::Checked:
      return 1;
    default:
      return 2;
  }
}

void VimoWindow::SetAnimationCheckValue(int value) {
  // Grey is a state only code sets; a box given a plain value toggles between on and off.
  animationCheck_->setTristate(value == 2);
  animationCheck_->setCheckState(value == 0   ? Qt::Unchecked
                                 : value == 1 ? Qt::Checked
                                              : Qt::PartiallyChecked);
}

void VimoWindow::SetAnimationCheckEnabled(bool enabled) {
  animationCheck_->setEnabled(enabled);
}

void VimoWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A window manager may maximise even a fixed-size window (a double click on the title, a
  // keyboard shortcut); the window goes back to its size at once.
  static constexpr Qt::WindowStates kStretched = Qt::WindowMaximized | Qt::WindowFullScreen;
  if (event->type() == QEvent::WindowStateChange && (windowState() & kStretched) != 0) {
    QTimer::singleShot(0, this, [this] {
      setWindowState(windowState() & ~kStretched);
      resize(minimumSize());
    });
  }
}

void VimoWindow::closeEvent(QCloseEvent* event) {
  bool cancel = false;
  server_->Form_Unload(cancel);
  if (cancel) {
    event->ignore();
    return;
  }
  event->accept();
  // The upload is done or given up: the program ends, whatever other window is still open.
  QCoreApplication::quit();
}
