#include "QtPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>
#include <chrono>

#include "Windows1252.h"

QString ToQString(std::string_view cp1252) {
  return QString::fromStdString(Windows1252ToUtf8(cp1252));
}

std::string FromQString(const QString& text) {
  return Utf8ToWindows1252(text.toStdString());
}

void QtEventPump::ProcessEvents() {
  QCoreApplication::processEvents();
}

void InstallSwedishTranslation(QCoreApplication& application) {
  // Qt's own texts (a text box's context menu and the like); missing translations leave English.
  auto* translator = new QTranslator(&application);
  if (translator->load(QLocale(QLocale::Swedish, QLocale::Sweden), "qt", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  }
}

void PrepareMessageBox(QMessageBox& box, const std::string& title, const std::string& text,
                       DialogButtons buttons) {
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(ToQString(title));
  // Texts may carry what a server sent ("Orsak: ..."): shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQString(text));
  if (buttons == DialogButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nej"));
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  }
}

void PrepareInputDialog(QInputDialog& dialog, const std::string& title, const std::string& prompt,
                        const std::string& defaultText) {
  dialog.setWindowTitle(ToQString(title));
  dialog.setLabelText(ToQString(prompt));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextValue(ToQString(defaultText));
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("Avbryt"));
}

DialogAnswer MessageBoxDialogs::Show(const std::string& title, const std::string& text,
                                     DialogButtons buttons) {
  QMessageBox box(parent_);
  PrepareMessageBox(box, title, text, buttons);
  const int answer = box.exec();
  if (buttons == DialogButtons::YesNo)
    return answer == QMessageBox::Yes ? DialogAnswer::Yes : DialogAnswer::No;
  return DialogAnswer::Ok;
}

std::string MessageBoxDialogs::AskText(const std::string& title, const std::string& prompt,
                                       const std::string& defaultText) {
  QInputDialog dialog(parent_);
  PrepareInputDialog(dialog, title, prompt, defaultText);
  return dialog.exec() == QDialog::Accepted ? FromQString(dialog.textValue()) : std::string();
}

bool QtDesktop::StartProgram(const std::filesystem::path& program) {
  const QString path = QDir::current().absoluteFilePath(QString::fromStdU16String(program.u16string()));
  return QProcess::startDetached(path, {}, QDir::currentPath());
}

void QtDesktop::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(ToQString(url)));
}
