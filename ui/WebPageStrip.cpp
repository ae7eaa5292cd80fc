#include "WebPageStrip.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QSet>
#include <QVBoxLayout>
#include <cstdio>

#ifdef VIMO_HAVE_WEBENGINE
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#endif

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// One line per distinct reason and process: every window of a test run would repeat it.
void SayOnce(const QString& line) {
  static QSet<QString> said;
  if (said.contains(line)) return;
  said.insert(line);
  std::fprintf(stderr, "Vimo: %s\n", line.toLocal8Bit().constData());
}

#ifdef VIMO_HAVE_WEBENGINE
// Chromium reports "http://host" as "http://host/".
QUrl WithRootPath(QUrl url) {
  if (url.path().isEmpty()) url.setPath(QStringLiteral("/"));
  return url;
}

// Where Qt WebEngine looks for its helper program; without one it aborts the process.
bool HelperProgramExists() {
  const QString fromEnvironment = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
  if (!fromEnvironment.isEmpty()) return QFileInfo(fromEnvironment).isExecutable();
#ifdef Q_OS_WIN
  const QString name = QStringLiteral("QtWebEngineProcess.exe");
#else
  const QString name = QStringLiteral("QtWebEngineProcess");
#endif
  for (const QString& folder :
       {QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath), QCoreApplication::applicationDirPath()}) {
    if (QFileInfo(folder + QLatin1Char('/') + name).isExecutable()) return true;
  }
  return false;
}

void AllowRunningAsRoot() {
#ifdef Q_OS_UNIX
  if (geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
      qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QStringLiteral("--no-sandbox"))) {
    return;
  }
  // Chromium exits the whole program when its sandbox is asked for as root.
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  SayOnce(QStringLiteral("running as root, so the web page runs without Chromium's sandbox"));
#endif
}
#endif

}  // namespace

WebPageStrip::WebPageStrip(QWidget* parent) : QWidget(parent) {
  // Whatever the strip shows fills it.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  const QString reason = BrowserUnavailableReason();
  if (!reason.isEmpty()) {
    ShowLink(reason);
    return;
  }
#ifdef VIMO_HAVE_WEBENGINE
  auto* view = new QWebEngineView(this);
  view->setObjectName(QStringLiteral("WebBrowser1_view"));
  layout->addWidget(view);
  content_ = view;
  connect(view->page(), &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
            if (status == QWebEnginePage::NormalTerminationStatus) return;
            GiveUpBrowser(QStringLiteral("the web page's process ended (status %1, exit code %2)")
                              .arg(static_cast<int>(status))
                              .arg(exitCode));
          });
  // Chromium's own error page in a strip this small says nothing; the link at least opens the page
  // in the user's browser. Only the page the strip was asked for counts: pages reached from it are
  // the page's own business, and a load given up for a newer one is no failure.
  connect(view->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& loading) {
    const bool asked = WithRootPath(loading.url()) == WithRootPath(url_);
    if (loading.status() == QWebEngineLoadingInfo::LoadFailedStatus && asked && !pageShown_) {
      GiveUpBrowser(QStringLiteral("%1 could not be loaded").arg(url_.toString()));
    }
    if (loading.status() == QWebEngineLoadingInfo::LoadSucceededStatus) pageShown_ = true;
  });
#endif
}

QString WebPageStrip::BrowserUnavailableReason() {
#ifdef VIMO_HAVE_WEBENGINE
  if (!HelperProgramExists())
    return QStringLiteral("Qt WebEngine's helper program QtWebEngineProcess is missing");
  AllowRunningAsRoot();
  return {};
#else
  return QStringLiteral("this build has no Qt WebEngine");
#endif
}

void WebPageStrip::Navigate(const QUrl& url) {
  url_ = url;
#ifdef VIMO_HAVE_WEBENGINE
  if (auto* view = qobject_cast<QWebEngineView*>(content_)) {
    pageShown_ = false;
    view->setUrl(url);
    return;
  }
#endif
  if (auto* link = qobject_cast<QLabel*>(content_)) {
    const QString shown = url.host() + (url.port() > 0 ? QStringLiteral(":%1").arg(url.port()) : QString());
    link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                      .arg(QString::fromUtf8(url.toEncoded()).toHtmlEscaped(), shown.toHtmlEscaped()));
  }
}

bool WebPageStrip::ShowsBrowser() const {
  return content_ != nullptr && qobject_cast<const QLabel*>(content_) == nullptr;
}

void WebPageStrip::GiveUpBrowser(const QString& reason) {
  if (!ShowsBrowser()) return;
  content_->hide();
  // Called from the browser's own signals.
  content_->deleteLater();
  content_ = nullptr;
  ShowLink(reason);
}

void WebPageStrip::ShowLink(const QString& reason) {
  SayOnce(QStringLiteral("showing the web page as a link: %1").arg(reason));
  auto* link = new QLabel(this);
  link->setObjectName(QStringLiteral("WebBrowser1_link"));
  link->setTextFormat(Qt::RichText);
  link->setTextInteractionFlags(Qt::TextBrowserInteraction);
  link->setOpenExternalLinks(true);
  link->setAlignment(Qt::AlignCenter);
  link->setAutoFillBackground(true);
  layout()->addWidget(link);
  content_ = link;
  if (url_.isValid()) Navigate(url_);
}
