// The MP3 tag lines: the ID3v1 record at the end of the file, CP932 text, NUL-ended and
// blank-padded fields, and files without a usable tag.
#include "MediaForm.h"

#include "base/Cp932.h"
#include "base/Id3Tag.h"
#include "platform/Mci.h"
#include "preview/MediaPanel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
QByteArray cp932(const QString& text)
{
    QByteArray out;
    platform::toCp932(text, out);
    return out;
}

QByteArray field(const QByteArray& bytes, char fill = '\0')
{
    return QByteArray(bytes + QByteArray(30, fill)).left(30);
}

QByteArray record(const QByteArray& title, const QByteArray& artist)
{
    QByteArray tag = "TAG" + title + artist + field("Album") + "1999" + field("Comment");
    tag.append(char(12));
    return tag;
}

QByteArray audio(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(0xff - i % 7));
    return bytes;
}

const QString kNoTitle = QStringLiteral("曲名：情報がありません。");
const QString kNoArtist = QStringLiteral("タイトル：情報がありません。");
} // namespace

class Id3TagTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString write(const char* name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

private Q_SLOTS:
    void readsTheRecordAtTheEnd_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("artist");

        QTest::newRow("Japanese, NUL-filled and blank-filled")
            << audio(4000) + record(field(cp932(QStringLiteral("夜明けの歌"))),
                                    field(cp932(QStringLiteral("山田　太郎")), ' '))
            << 1 << QStringLiteral("夜明けの歌")
            << QStringLiteral("山田　太郎") + QString(20, u' ');
        QTest::newRow("display ends at the first NUL")
            << audio(500) + record(field(QByteArray("Intro\0Outro", 11)),
                                   field(QByteArray("A  \0  B", 7), ' '))
            << 1 << QStringLiteral("Intro") << QStringLiteral("A  ");
        QTest::newRow("full 30 bytes, half-width kana and backslash")
            << audio(10) + record(cp932(QStringLiteral("ｱｲｳｴｵ\\")) + QByteArray(24, 'x'),
                                  field("Band", ' '))
            << 1 << QStringLiteral("ｱｲｳｴｵ\\") + QString(24, u'x')
            << QStringLiteral("Band") + QString(26, u' ');
        QTest::newRow("tag is the whole file") << record(field("Only"), field("Me")) << 1
                                               << QStringLiteral("Only") << QStringLiteral("Me");
        QTest::newRow("no tag") << audio(3000) << -1 << QString() << QString();
        QTest::newRow("TAG at the start only")
            << QByteArray("TAG") + audio(300) << -1 << QString() << QString();
        QTest::newRow("lower-case identifier")
            << audio(200) + QByteArray("tag") + record(field("T"), field("A")).mid(3) << -1
            << QString() << QString();
        QTest::newRow("shorter than a tag")
            << record(field("T"), field("A")).left(100) << -1 << QString() << QString();
        QTest::newRow("empty file") << QByteArray() << -1 << QString() << QString();
    }

    void readsTheRecordAtTheEnd()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(QString, title);
        QFETCH(QString, artist);
        const QString path = write("song.mp3", bytes);
        QVERIFY(!path.isEmpty());

        preview::Id3Tag tag;
        QCOMPARE(tag.read(path), result);
        QCOMPARE(tag.title(), title);
        QCOMPARE(tag.artist(), artist);

        // The tag lines: the tag's title and artist, or the no-information lines.
        MediaForm form;
        platform::NoDeviceMci mci;
        preview::MediaPanel panel(form.widgets(), mci);
        form.title->setText(QStringLiteral("曲名：前の曲"));
        form.artist->setText(QStringLiteral("アーティスト：前の人"));
        panel.showTag(path);
        QVERIFY(form.title->isVisible() && form.artist->isVisible());
        QCOMPARE(form.title->text(), result == 1 ? QStringLiteral("曲名：") + title : kNoTitle);
        QCOMPARE(form.artist->text(),
                 result == 1 ? QStringLiteral("アーティスト：") + artist : kNoArtist);
    }

    void aFileThatIsGoneShowsNoInformation()
    {
        MediaForm form;
        platform::NoDeviceMci mci;
        preview::MediaPanel panel(form.widgets(), mci);
        const QString path = write("gone.mp3", audio(300) + record(field("Gone"), field("Soon")));
        panel.showTag(path);
        QCOMPARE(form.title->text(), QStringLiteral("曲名：Gone"));
        QVERIFY(QFile::remove(path));

        preview::Id3Tag tag;
        QCOMPARE(tag.read(path), 0);
        // Not the previous file's tag.
        panel.showTag(path);
        QCOMPARE(form.title->text(), kNoTitle);
        QCOMPARE(form.artist->text(), kNoArtist);
    }

    void aCharacterCutByTheFieldEndKeepsTheRest()
    {
        // 29 letters and the first byte of a two-byte character.
        const QByteArray title = QByteArray(29, 'a') + QByteArray("\x82");
        const QString path = write("cut.mp3", audio(64) + record(title, field("B")));
        preview::Id3Tag tag;
        QCOMPARE(tag.read(path), 1);
        QVERIFY(tag.title().startsWith(QString(29, u'a')));
        QCOMPARE(tag.artist(), QStringLiteral("B"));
    }
};

QTEST_MAIN(Id3TagTest)
#include "tst_id3_tag.moc"
