#include "ArchiveTestDoubles.h"

#include <QApplication>
#include <QWidget>

archive::CallResult RecordingRunner::run(archive::Family family, quintptr ownerWindow,
                                         const QString& line, int bufferSize)
{
    calls.append({family, line, bufferSize, ownerWindow});
    archive::CallResult result;
    if (missing) {
        result.code = archive::CallResult::kNotCalled;
        result.libraryMissing = true;
        result.error = archive::missingLibraryText(family, QStringLiteral("/missing"));
        return result;
    }
    if (effect)
        effect(calls.last());
    result.report = reports.isEmpty() ? QString() : reports.dequeue();
    return result;
}

QString quotedOperand(const QString& line, int index)
{
    const QStringList parts = line.split(QLatin1Char('"'));
    const int at = 2 * index + 1;
    return at < parts.size() - 1 ? parts.at(at) : QString();
}

bool FakeBrowser::setCurrentFolder(const QString& f)
{
    events << QStringLiteral("cd:") + f;
    folder = f;
    return true;
}

ModalDriver::ModalDriver(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
}

void ModalDriver::on(const QString& objectName, std::function<void(QWidget*)> handler)
{
    m_handlers.append({objectName, std::move(handler)});
}

void ModalDriver::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    for (const QPointer<QWidget>& done : m_handled) {
        if (done == modal)
            return;
    }
    m_handled.append(modal);
    seen << modal->objectName();
    for (const auto& [name, handler] : m_handlers) {
        if (name == modal->objectName()) {
            // Run outside this timer's slot, so that a modal window the handler opens is seen
            // again by the next poll.
            QPointer<QWidget> target(modal);
            auto run = handler;
            QTimer::singleShot(0, this, [this, target, run] {
                if (target && m_timer.isActive())
                    run(target);
            });
            return;
        }
    }
}
