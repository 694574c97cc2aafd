#include "preview/BrowserPane.h"

#include <QResizeEvent>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <atomic>

namespace preview {

// Lets local files (and inline data) through; blocks everything else while offline.
class LocalOnlyInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    explicit LocalOnlyInterceptor(const BrowserPane* pane) : m_pane(pane) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QString scheme = info.requestUrl().scheme().toLower();
        const bool local = scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
                           scheme == QLatin1String("blob") || scheme == QLatin1String("about");
        if (!local && m_pane->isOffline()) {
            info.block(true);
            ++m_blocked;
        }
    }
    int blocked() const { return m_blocked.load(); }

private:
    const BrowserPane* m_pane;
    std::atomic<int> m_blocked{0};
};

BrowserPane::BrowserPane(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

BrowserPane::~BrowserPane()
{
    // The page must go before its profile.
    delete m_view;
    m_view = nullptr;
}

void BrowserPane::createEngine()
{
    // An off-the-record profile of our own: nothing of the previewed pages is kept on disk.
    m_profile = new QWebEngineProfile(this);
    m_interceptor = new LocalOnlyInterceptor(this);
    m_interceptor->setParent(m_profile);
    m_profile->setUrlRequestInterceptor(m_interceptor);
    QWebEngineSettings* settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    m_view = new QWebEngineView(this);
    m_view->setPage(new QWebEnginePage(m_profile, m_view));
    m_view->setGeometry(rect());
    m_view->show();
    connect(m_view, &QWebEngineView::loadFinished, this, &BrowserPane::loadFinished);
}

void BrowserPane::navigate(const QString& path)
{
    if (!m_view)
        createEngine();
    m_view->setUrl(QUrl::fromLocalFile(path));
}

void BrowserPane::stop()
{
    if (m_view)
        m_view->stop();
}

int BrowserPane::blockedRequests() const
{
    return m_interceptor ? m_interceptor->blocked() : 0;
}

void BrowserPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
}

} // namespace preview
