#include "preview/BrowserPane.h"

#include "base/Paths.h"
#include "preview/BrowserEngine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QResizeEvent>

namespace preview
{

namespace
{
const char* const kModuleName = "libkoramo_webengine.so";
}

QString browserEngineModulePath()
{
    const QString name = QString::fromLatin1(kModuleName);
    for (const QString& folder : {platform::programFolder(), QCoreApplication::applicationDirPath(),
                                  qEnvironmentVariable("KORAMO_BUILD_BIN")}) {
        if (folder.isEmpty())
            continue;
        const QString path = platform::withSlash(folder) + name;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

BrowserPane::BrowserPane(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

BrowserPane::~BrowserPane() = default;

bool BrowserPane::createEngine()
{
    const QString path = browserEngineModulePath();
    if (path.isEmpty())
        return false;
    // The module stays loaded for the rest of the program's life.
    QLibrary module(path);
    module.setLoadHints(QLibrary::PreventUnloadHint);
    auto create =
        reinterpret_cast<CreateBrowserEngine>(module.resolve("koramo_create_browser_engine"));
    if (!create)
        return false;
    m_engine = create(this, m_offline);
    m_engine->setGeometry(rect());
    m_engine->show();
    connect(m_engine, &BrowserEngine::loadFinished, this, &BrowserPane::loadFinished);
    return true;
}

bool BrowserPane::navigate(const QString& path)
{
    if (!m_engine && !createEngine())
        return false;
    m_engine->navigate(path);
    return true;
}

void BrowserPane::stop()
{
    if (m_engine)
        m_engine->stop();
}

int BrowserPane::blockedRequests() const
{
    return m_engine ? m_engine->blockedRequests() : 0;
}

void BrowserPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_engine)
        m_engine->setGeometry(rect());
}

} // namespace preview
