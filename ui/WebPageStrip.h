#pragma once
// `WebBrowser1`: the product page, shown in an embedded Chromium (Qt WebEngine) where the build has
// it and it can start, otherwise as a link that opens the page in the user's browser. The strip
// falls back to the link, with one line on standard error saying why, when the browser's helper
// program cannot be found (Chromium would abort the whole program), when the page it was asked for
// cannot be loaded, or when the page's process dies later; it never leaves a blank band and never
// takes the program down.
//
// The strip is a plain container, so that its content can be swapped while the window runs. Lives
// on the window thread; owned by its parent.

#include <QString>
#include <QUrl>
#include <QWidget>

class WebPageStrip final : public QWidget {
  Q_OBJECT

 public:
  explicit WebPageStrip(QWidget* parent = nullptr);

  // Shows `url`: the browser loads it, or the link points at it.
  void Navigate(const QUrl& url);
  // True while the embedded browser, not the link, fills the strip.
  bool ShowsBrowser() const;

  // Why the embedded browser cannot start in this process, or empty when it can. Running as root,
  // it first turns Chromium's sandbox off (Chromium refuses to start otherwise) and says so once.
  static QString BrowserUnavailableReason();

 private:
  void GiveUpBrowser(const QString& reason);
  void ShowLink(const QString& reason);

  QUrl url_;
  // The page asked for has loaded once; what follows is the page's own navigation.
  bool pageShown_ = false;
  QWidget* content_ = nullptr;
};
