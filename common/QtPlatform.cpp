#include "QtPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>
#include <chrono>
#include <thread>

#include "Windows1252.h"

QString ToQString(std::string_view cp1252) {
  return QString::fromStdString(Windows1252ToUtf8(cp1252));
}

std::string FromQString(const QString& text) {
  return Utf8ToWindows1252(text.toStdString());
}

void SleepWaiter::Wait(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void QtEventPump::ProcessEvents() {
  QCoreApplication::processEvents();
}

DialogAnswer MessageBoxDialogs::Show(const std::string& title, const std::string& text,
                                     DialogButtons buttons) {
  QMessageBox box(parent_);
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(ToQString(title));
  box.setText(ToQString(text));
  if (buttons == DialogButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? DialogAnswer::Yes : DialogAnswer::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return DialogAnswer::Ok;
}

std::string MessageBoxDialogs::AskText(const std::string& title, const std::string& prompt,
                                       const std::string& defaultText) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent_, ToQString(title), ToQString(prompt),
                                               QLineEdit::Normal, ToQString(defaultText), &ok);
  return ok ? FromQString(answer) : std::string();
}

bool QtDesktop::StartProgram(const std::filesystem::path& program) {
  const QString path = QDir::current().absoluteFilePath(QString::fromStdU16String(program.u16string()));
  return QProcess::startDetached(path, {}, QDir::currentPath());
}

void QtDesktop::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(ToQString(url)));
}
