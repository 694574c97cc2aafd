// shell_copy SOURCE... DESTINATION: copies with the desktop shell as the program calls it
// (flags 0: questions and progress window on), prints nothing, exits with the shell's code.
#include "platform/Shell.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() < 2)
        return 2;
    platform::Shell::FileOperation op;
    op.operation = platform::Shell::Copy;
    for (const QString& source : args.mid(0, args.size() - 1))
        op.from += source + QChar(u'\0');
    op.from += QChar(u'\0');
    op.to = args.last();
    const std::unique_ptr<platform::Shell> shell = platform::createDesktopShell();
    return shell->fileOperation(op);
}
