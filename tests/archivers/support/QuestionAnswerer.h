#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <utility>

namespace testsupport
{

// Presses the button with the given text on every question box that opens and keeps the
// questions' texts. onFirst, when given, sees the first box before it is answered.
class QuestionAnswerer
{
public:
    explicit QuestionAnswerer(const QString& button, std::function<void(QMessageBox*)> onFirst = {})
        : m_button(button), m_onFirst(std::move(onFirst))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_seen << box->text();
            if (m_onFirst && m_seen.size() == 1)
                m_onFirst(box);
            const auto buttons = box->buttons();
            for (QAbstractButton* b : buttons) {
                if (b->text() == m_button) {
                    b->click();
                    return;
                }
            }
        });
        m_timer.start(30);
    }
    const QStringList& seen() const { return m_seen; }

private:
    QString m_button;
    std::function<void(QMessageBox*)> m_onFirst;
    QTimer m_timer;
    QStringList m_seen;
};

} // namespace testsupport
