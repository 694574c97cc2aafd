#pragma once

#include <QStringList>
#include <QTimer>

// Records the object names of the modal dialogs opened while it lives, closing each (reject)
// as soon as it shows.
class ModalCloser final
{
public:
    ModalCloser();
    QStringList seen;

private:
    QTimer m_timer;
};
