#pragma once
// The main window `Vimo`: the chat, the character with its flag, the product page and the folding
// settings panel. The window is the conversation engine's view and the view of the flag and
// shutdown handlers (MainWindowServer); every chat event is handed to the engine it owns, every
// flag click and the close request to the server handlers it owns. A close that the shutdown
// cancels (a failed upload the user wants to retry later) keeps the window open; otherwise the
// program ends.
//
// Geometry: positions are the layout's twips divided by 15. The Windows build's window was 9225 twips
// wide outside for a client area of 9135, i.e. a frame of 45 twips (3 pixels) on each side. Qt
// leaves the frame to the window manager, so an outer width W twips is kept as a client width of
// (W - 90) / 15 pixels: 609 folded in, 716 folded out. Folded in, the panel that starts at
// x = 9130 twips therefore lies just outside the client area, as it always did.
//
// Holiday: on a day the start-up marked as a holiday, `Picture1` plays "Data/vimo_special.gif" of
// the program folder one frame per `AnimationTimer` tick, switched by `Chk_animation`; the window is
// the animation's view (AnimationView) and forwards the tick and the click to its AnimationPlayback.
//
// Lifetime: the window owns the engine, the speech object, the animation and its default services;
// it must be destroyed on the thread that made it. The engine's typing effect runs window events nested
// inside a handler, so handlers here may re-enter one another (Enter during a sentence, a timer tick).

#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ChatView.h"
#include "MainWindowServer.h"
#include "Settings.h"
#include "gif/AnimationPlayback.h"

class ChatEngine;
class ClickableLabel;
class ClockSeededRandom;
class Clock;
class EventPump;
class LocalClock;
class MessageBoxDialogs;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;
class QtEventPump;
class RandomSource;
class SleepingWaiter;
class SpeechVoice;
class VimoCloseWindow;
class WebPageStrip;
class Waiter;
struct ProgramValues;

// What the window is given. A null service means the real one, which the window then owns; tests
// pass their own so that the window runs without sound and without real waits.
struct VimoWindowServices {
  ProgramValues& values;
  // The program folder: "brain.txt", "user.vimo", "medd.txt" and "Data/vimo_special.gif". Empty
  // means the current folder.
  std::filesystem::path folder{};
  Waiter* waiter = nullptr;
  EventPump* pump = nullptr;
  // A given random source is used as it is; only the window's own generator is seeded at load.
  RandomSource* random = nullptr;
  Clock* clock = nullptr;
  // Creates `Voice` at load; a null result means no speech. Empty: espeak-ng.
  std::function<std::unique_ptr<SpeechVoice>()> makeVoice{};
  // The flag actions' and the shutdown's dialogs. Null: message boxes owned by the window.
  Dialogs* dialogs = nullptr;
  // The account the flag actions and the shutdown connect to. Empty: ReadServerSettings().
  std::optional<ServerSettings> settings{};
};

class VimoWindow final : public QWidget, public ChatView, public MainWindowView, public vimo::AnimationView {
  Q_OBJECT

 public:
  static constexpr int kTwipsPerPixel = 15;
  static constexpr int kFoldedInOuterWidth = 9225;
  static constexpr int kFoldedOutOuterWidth = 10830;
  static constexpr int kClientHeight = 5190 / kTwipsPerPixel;

  // Builds every control and runs the load step; the window is ready to be shown.
  explicit VimoWindow(VimoWindowServices services, QWidget* parent = nullptr);
  ~VimoWindow() override;

  ChatEngine& Engine() { return *engine_; }
  MainWindowServer& Server() { return *server_; }
  // The upload window `Vimo_close`, hidden until a shutdown shows it.
  VimoCloseWindow& CloseWindow() { return *closeWindow_; }
  vimo::AnimationPlayback& Animation() { return *animation_; }

  // The window's outer width in twips (see the geometry note above).
  int OuterWidthTwips() const;

  void Cmd_inställningar_Click();

  // ChatView
  std::string InputText() const override;
  void SetInputText(const std::string& text) override;
  void SetReplyCaption(const std::string& text) override;
  void SetCorrectButtonEnabled(bool enabled) override;
  int SpeechCheckValue() const override;
  int SpeechRateValue() const override;
  void SetSpeechRateEnabled(bool enabled) override;
  int RandomTalkCheckValue() const override;
  int RandomTalkFrequencyValue() const override;
  void SetRandomTalkFrequencyEnabled(bool enabled) override;
  void SetRandomTalkInterval(int milliseconds) override;

  // MainWindowView
  void SetFlagText(const std::string& text) override;
  void SelectFlagTab(FlagTab tab) override;
  void SetFlagButtonsEnabled(bool enabled) override;
  void ShowAgain() override;

  // AnimationView: Picture1, AnimationTimer and Chk_animation.
  int PictureWidth() const override;
  int PictureHeight() const override;
  std::uint32_t PictureBackColor() const override;
  void SetPictureNone() override;
  void SetPictureStill(const vimo::Raster& still) override;
  void DrawIntoPicture(const vimo::Raster& surface) override;
  void SetAnimationTimerInterval(int milliseconds) override;
  void SetAnimationTimerEnabled(bool enabled) override;
  int AnimationCheckValue() const override;
  void SetAnimationCheckValue(int value) override;
  void SetAnimationCheckEnabled(bool enabled) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Form_Unload: the shutdown upload decides whether the window may close.
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMainControls();
  void CreateSettingsPanel();
  void ConnectHandlers();
  void Form_Load();
  void NavigateWebPage(const std::string& address);
  void ShowAdministratorMessage();
  void SetOuterWidthTwips(int twips);

  VimoWindowServices services_;
  std::unique_ptr<SleepingWaiter> ownWaiter_;
  std::unique_ptr<QtEventPump> ownPump_;
  std::unique_ptr<ClockSeededRandom> ownRandom_;
  std::unique_ptr<LocalClock> ownClock_;
  std::unique_ptr<SpeechVoice> voice_;
  std::unique_ptr<ChatEngine> engine_;
  std::unique_ptr<MessageBoxDialogs> ownDialogs_;
  std::unique_ptr<VimoCloseWindow> closeWindow_;
  std::unique_ptr<MainWindowServer> server_;
  std::unique_ptr<vimo::AnimationPlayback> animation_;

  // The controls, named after what they are for; each one's objectName is its name in the window.
  QLabel* picture_ = nullptr;                 // Picture1
  QLineEdit* input_ = nullptr;                // meddelande
  QLabel* reply_ = nullptr;                   // Svar
  QPushButton* correctButton_ = nullptr;      // Ändra
  QLabel* flagText_ = nullptr;                // Medd
  ClickableLabel* usersTab_ = nullptr;        // Flaggmeddelande_Knapp
  ClickableLabel* adminTab_ = nullptr;        // Adminmeddelande_Knapp
  QPushButton* editFlagButton_ = nullptr;     // Ändraflagga
  QPushButton* refreshFlagButton_ = nullptr;  // Cmd_Uppdatera
  WebPageStrip* webPage_ = nullptr;           // WebBrowser1
  QPushButton* settingsButton_ = nullptr;     // Cmd_inställningar
  QTimer* randomTalkTimer_ = nullptr;         // Timer_Vimopratslump
  QTimer* animationTimer_ = nullptr;          // AnimationTimer
  QTimer* brainIndexTimer_ = nullptr;
  QCheckBox* speechCheck_ = nullptr;        // Chk_tal
  QSlider* speechRate_ = nullptr;           // Tal_hastighet
  QGroupBox* randomTalkFrame_ = nullptr;    // Frame1
  QCheckBox* randomTalkCheck_ = nullptr;    // Chk_slumpprat
  QSlider* randomTalkFrequency_ = nullptr;  // Slumpprat_Frekvens
  QCheckBox* animationCheck_ = nullptr;     // Chk_animation
};
