#include "preview/BrowserPane.h"

#include "base/FileKind.h"
#include "base/Paths.h"
#include "preview/BrowserEngine.h"
#include "preview/RichTextViewer.h"
#include "preview/TextViewer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QResizeEvent>
#include <QVBoxLayout>

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
    hideText();
    if (!m_engine && !createEngine())
        return false;
    m_engine->navigate(path);
    return true;
}

void BrowserPane::showAsText(const QString& path)
{
    if (!m_textArea) {
        m_textArea = new QWidget(this);
        auto* layout = new QVBoxLayout(m_textArea);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* line = new QLabel(QStringLiteral("HTML 表示モジュールがインストールされていないため、"
                                               "テキストとして表示しています。"),
                                m_textArea);
        line->setObjectName(QStringLiteral("browserTextLine"));
        line->setWordWrap(true);
        layout->addWidget(line);
        m_text = new RichTextViewer(m_textArea);
        m_text->setObjectName(QStringLiteral("browserText"));
        m_text->setReadOnly(true);
        layout->addWidget(m_text, 1);
        m_textArea->setGeometry(rect());
    }
    const platform::FileStatus status = platform::fileStatus(path);
    if (status.kind == platform::FileKind::Regular && status.size > TextViewer::kLargeAbove)
        m_text->loadLargeFile(path);
    else
        m_text->loadFile(path);
    m_textArea->show();
}

bool BrowserPane::showsText() const
{
    return m_textArea && !m_textArea->isHidden();
}

void BrowserPane::hideText()
{
    if (!m_textArea)
        return;
    m_textArea->hide();
    m_text->clear();
}

void BrowserPane::stop()
{
    if (m_engine)
        m_engine->stop();
    if (m_text)
        m_text->stopLoading();
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
    if (m_textArea)
        m_textArea->setGeometry(rect());
}

} // namespace preview
