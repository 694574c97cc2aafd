// Qt's own texts appear in Japanese once the program has installed its translations.
#include "app/Application.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class JapaneseTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void questionButtonsReadYesNoInJapanese()
    {
        app::installJapaneseTexts(*qApp);
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QString yes = box.button(QMessageBox::Yes)->text();
        QString no = box.button(QMessageBox::No)->text();
        yes.remove(QLatin1Char('&'));
        no.remove(QLatin1Char('&'));
        QVERIFY2(yes.startsWith(QStringLiteral("はい")), qPrintable(yes));
        QVERIFY2(no.startsWith(QStringLiteral("いいえ")), qPrintable(no));
        QVERIFY(box.button(QMessageBox::Cancel)->text().contains(QStringLiteral("キャンセル")));
    }
};

QTEST_MAIN(JapaneseTest)
#include "tst_japanese.moc"
