// The browser engine module: Qt WebEngine behind the preview's browser pane.
#include "preview/BrowserEngine.h"

#include <QApplication>
#include <QOpenGLContext>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <atomic>

// Qt's own (exported) setter of the context every other context shares with.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace
{

// Lets local files (and inline data) through; blocks everything else while offline.
class LocalOnlyInterceptor final : public QWebEngineUrlRequestInterceptor
{
public:
    explicit LocalOnlyInterceptor(bool offline) : m_offline(offline) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QString scheme = info.requestUrl().scheme().toLower();
        const bool local = scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
                           scheme == QLatin1String("blob") || scheme == QLatin1String("about");
        if (!local && m_offline) {
            info.block(true);
            ++m_blocked;
        }
    }
    int blocked() const { return m_blocked.load(); }

private:
    bool m_offline;
    std::atomic<int> m_blocked{0};
};

class WebEngine final : public preview::BrowserEngine
{
public:
    WebEngine(QWidget* parent, bool offline) : preview::BrowserEngine(parent)
    {
        // An off-the-record profile of our own: nothing of the previewed pages is kept.
        m_profile = new QWebEngineProfile(this);
        m_interceptor = new LocalOnlyInterceptor(offline);
        m_interceptor->setParent(m_profile);
        m_profile->setUrlRequestInterceptor(m_interceptor);
        QWebEngineSettings* settings = m_profile->settings();
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, !offline);
        settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        m_view = new QWebEngineView(this);
        m_view->setPage(new QWebEnginePage(m_profile, m_view));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_view);
        connect(m_view, &QWebEngineView::loadFinished, this, &BrowserEngine::loadFinished);
    }
    ~WebEngine() override
    {
        // The page must go before its profile.
        delete m_view;
    }

    void navigate(const QString& path) override { m_view->setUrl(QUrl::fromLocalFile(path)); }
    void stop() override { m_view->stop(); }
    int blockedRequests() const override { return m_interceptor->blocked(); }

private:
    QWebEngineProfile* m_profile;
    LocalOnlyInterceptor* m_interceptor;
    QWebEngineView* m_view;
};

// The engine draws through a context shared with the windows. The program does not ask Qt
// for one at start-up (that costs most of a tenth of a second), so it is made here, once,
// before the engine starts.
void ensureGlobalShareContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    auto* context = new QOpenGLContext(qApp);
    context->create();
    qt_gl_set_global_share_context(context);
}

} // namespace

extern "C" __attribute__((visibility("default"))) preview::BrowserEngine*
koramo_create_browser_engine(QWidget* parent, bool offline)
{
    ensureGlobalShareContext();
    return new WebEngine(parent, offline);
}
