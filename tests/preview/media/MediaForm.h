#pragma once

#include "preview/MediaPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

// The part of the main window that the media controls and the tag lines work on, named as
// there and starting hidden with their design-time captions.
class MediaForm : public QWidget
{
public:
    MediaForm()
    {
        stop->setObjectName(QStringLiteral("Command4"));
        pause->setObjectName(QStringLiteral("Command5"));
        status->setObjectName(QStringLiteral("Label4"));
        title->setObjectName(QStringLiteral("Text1"));
        artist->setObjectName(QStringLiteral("Text3"));
        for (QWidget* w : {static_cast<QWidget*>(stop), static_cast<QWidget*>(pause),
                           static_cast<QWidget*>(status), static_cast<QWidget*>(title),
                           static_cast<QWidget*>(artist)})
            w->hide();
        show();
    }

    preview::MediaWidgets widgets() const { return {stop, pause, status, title, artist}; }

    QPushButton* stop = new QPushButton(QStringLiteral("停止(&P)"), this);
    QPushButton* pause = new QPushButton(QStringLiteral("一時停止(&T)"), this);
    QLabel* status = new QLabel(this);
    QLineEdit* title = new QLineEdit(this);
    QLineEdit* artist = new QLineEdit(this);
};
