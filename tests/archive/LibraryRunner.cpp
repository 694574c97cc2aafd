#include "LibraryRunner.h"

#include "platform/Paths.h"

#include <QWidget>

namespace
{
class LibraryRunner final : public archive::CommandRunner
{
public:
    QString run(QWidget* owner, archive::Family family, const QString& line, int size) override
    {
        const archive::ArchiverLibrary library(family, platform::programFolder());
        using Entry = int (*)(quintptr, const char*, char*, quint32);
        auto entry = reinterpret_cast<Entry>(library.resolve(""));
        if (!entry)
            return QStringLiteral("missing library");
        QByteArray buffer(size, '\0');
        entry(owner ? quintptr(owner->winId()) : 0, line.toUtf8().constData(), buffer.data(),
              quint32(size));
        return QString::fromUtf8(buffer.constData());
    }
};
} // namespace

std::unique_ptr<archive::CommandRunner> makeLibraryRunner()
{
    return std::make_unique<LibraryRunner>();
}
