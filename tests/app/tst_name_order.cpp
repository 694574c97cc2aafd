// The order of a large folder's names, worked out on a thread of its own while the folder is read:
// runs handed over in stretches, names that move to a larger place in the middle of it, and more
// runs than are merged while reading all come out in the reference order; a folder that grows
// past the room made for it while it is read gives every name once, in order.
#include "app/FolderNames.h"
#include "app/SortKeys.h"
#include "base/NativePath.h"

#include "ListedNames.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <unistd.h>

using listtest::touch;

namespace
{

bool lessByReference(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// Names of every kind, unique: mixed case, long common heads that differ past sixteen bytes,
// Japanese UTF-8, CP932 bytes that are not UTF-8, 200-byte names.
std::vector<QByteArray> makeNames(int count)
{
    std::vector<QByteArray> names;
    names.reserve(static_cast<size_t>(count));
    const QByteArray longHead(180, 'q');
    const QByteArray kanji = QStringLiteral("写真").toUtf8();
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(qint64(i) * 7919 % count).rightJustified(8, '0');
        switch (i % 6) {
        case 0:
            names.push_back((i % 4 ? "File" : "file") + n + ".txt");
            break;
        case 1:
            names.push_back("same-sixteen-head" + n + (i % 3 ? ".JPG" : ".jpg"));
            break;
        case 2:
            names.push_back((i % 4 == 2 ? longHead : longHead.toUpper()) + n + ".log");
            break;
        case 3:
            names.push_back(QByteArray::fromHex(i % 2 ? "83818382" : "C3DEB0C0") + n);
            break;
        case 4:
            names.push_back(kanji + n + ".png");
            break;
        default:
            names.push_back("-" + n + (i % 2 ? " blank" : "-dash"));
        }
    }
    return names;
}

QStringList reference(const std::vector<QByteArray>& names)
{
    QStringList shown;
    for (const QByteArray& bytes : names)
        shown << platform::fromNativePath(bytes);
    std::sort(shown.begin(), shown.end(), lessByReference);
    return shown;
}

// Names laid out as a folder's are kept: their bytes one after the other, each ending in a zero
// byte, and where each one starts.
struct Laid {
    std::vector<char> bytes;
    std::vector<quint32> starts;
    void add(const QByteArray& name)
    {
        starts.push_back(static_cast<quint32>(bytes.size()));
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back('\0');
    }
    app::SortKeys::View view() const { return {bytes.data(), starts.data()}; }
};

} // namespace

class NameOrderTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // More names than are merged while reading, handed over in uneven stretches, moved twice to
    // a new place whose old one is then overwritten: any key made from the old place would put
    // names out of order.
    void namesOrderedWhileTheyComeAreInTheReferenceOrder()
    {
        const int count = 600000;
        const std::vector<QByteArray> names = makeNames(count);
        size_t total = 0;
        for (const QByteArray& name : names)
            total += size_t(name.size()) + 1;
        // Room for all, so that nothing moves but where the test moves it.
        const auto room = [&] {
            auto laid = std::make_unique<Laid>();
            laid->bytes.reserve(total);
            laid->starts.reserve(size_t(count));
            return laid;
        };
        app::SortKeys keys(1000);
        keys.startThread();
        auto laid = room();
        for (int i = 0; i < count; ++i) {
            laid->add(names[size_t(i)]);
            if (i % 3001 == 3000)
                keys.handOver(static_cast<quint32>(i + 1), laid->view());
            if (i == 250000 || i == 520000) {
                keys.waitIdle();
                auto moved = room();
                moved->bytes.assign(laid->bytes.begin(), laid->bytes.end());
                moved->starts.assign(laid->starts.begin(), laid->starts.end());
                std::memset(laid->bytes.data(), 'Z', laid->bytes.size());
                std::fill(laid->starts.begin(), laid->starts.end(), 0u);
                keys.handOver(static_cast<quint32>(i + 1), moved->view());
                std::swap(laid, moved); // the overwritten place stays until the end
                garbage.push_back(std::move(moved));
            }
        }
        const app::Indices order = keys.order(static_cast<quint32>(count), laid->view());
        QCOMPARE(order.size(), size_t(count));
        QStringList listed;
        for (const quint32 index : order)
            listed << platform::fromNativePath(names[index]);
        QCOMPARE(listed, reference(names));
    }

    // The room for the names is made after the folder's size when it is opened; tens of thousands
    // of 150-byte names added while the rest is read outgrow it.
    void aFolderThatGrowsWhileItIsReadGivesEveryNameOnceInOrder()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        std::vector<QByteArray> first;
        for (int i = 0; i < 30000; ++i) {
            first.push_back("n" + QByteArray::number(i));
            QVERIFY(touch(folder, first.back()));
        }
        app::FolderReader reader(dir.path());
        QVERIFY(reader.opened());
        QVERIFY(!reader.read(25000));
        reader.orderWhileReading();
        const QByteArray head(140, 'G');
        for (int i = 0; i < 40000; ++i)
            QVERIFY(touch(folder, (i % 2 ? head : head.toLower()) + QByteArray::number(i)));
        while (!reader.read(1 << 16)) {
        }
        const std::shared_ptr<const app::FolderNames> names = reader.finish();
        std::vector<QByteArray> given;
        std::set<QByteArray> seen;
        for (quint32 i = 0; i < quint32(names->size()); ++i) {
            given.push_back(names->bytesOf(i).toByteArray());
            QVERIFY2(seen.insert(given.back()).second, given.back().constData());
        }
        for (const QByteArray& name : first)
            QVERIFY2(seen.count(name) == 1, name.constData());
        if (given.size() == first.size())
            QSKIP("the file system gave none of the names added while the folder was read");
        QStringList listed;
        for (const quint32 index : names->order())
            listed << names->nameOf(index);
        QCOMPARE(listed, reference(given));
    }

private:
    std::vector<std::unique_ptr<Laid>> garbage;
};

QTEST_GUILESS_MAIN(NameOrderTest)
#include "tst_name_order.moc"
