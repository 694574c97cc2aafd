#pragma once

#include <QApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include <functional>

// Drives the modal dialogs a command opens, in order: each time a new modal window is on top,
// the next step runs on it (outside the poll, so that a window the step opens is seen by the
// next poll). The object names of the windows are recorded as they came; a window that comes
// when no step is left, or whose name is not the step's, is counted and closed.
class ModalSteps final
{
public:
    using Step = std::function<void(QDialog*)>;

    ModalSteps()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    ModalSteps(const ModalSteps&) = delete;
    ModalSteps& operator=(const ModalSteps&) = delete;

    ModalSteps& then(const QString& objectName, Step step)
    {
        m_steps.append({objectName, std::move(step)});
        return *this;
    }
    int left() const { return int(m_steps.size()); }

    QStringList seen;
    int wrong = 0;

private:
    void poll()
    {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible() || modal == m_last)
            return;
        m_last = modal;
        seen << modal->objectName();
        if (m_steps.isEmpty() || m_steps.first().first != modal->objectName()) {
            ++wrong;
            QTimer::singleShot(0, modal, &QDialog::reject);
            return;
        }
        const auto step = m_steps.takeFirst().second;
        QPointer<QDialog> target(modal);
        QTimer::singleShot(0, modal, [target, step] {
            if (target)
                step(target);
            // A step whose checks failed must not leave the command waiting on its window.
            if (target && target->isVisible() && QTest::currentTestFailed())
                target->reject();
        });
    }

    QTimer m_timer;
    QPointer<QDialog> m_last;
    QList<QPair<QString, Step>> m_steps;
};

// Types the text into the box as a user does: plain ASCII key by key, anything else as the
// input method hands it over, one committed string.
inline void typeInto(QWidget* box, const QString& text)
{
    box->setFocus();
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii) {
        QTest::keyClicks(box, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(box, &commit);
}
