// Loads a file into the preview's text box, then times one find next of a word from the start
// of the text, as the find dialog runs it, and prints on one line:
//   <ms, upper and lower case alike> <ms, case matched> <position found, from 1>
// The word must occur once; both searches must find the same position.
#include "desktop/Prompts.h"
#include "editor/PreviewSearch.h"
#include "preview/RichTextViewer.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace
{
// Counts the boxes instead of showing them.
class CountingPrompts final : public platform::Prompts
{
public:
    int boxes = 0;
    Answer message(QWidget*, const QString&, const QString&, Icon, Buttons) override
    {
        ++boxes;
        return Ok;
    }
    QString input(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString pickFolder(QWidget*, const QString&) override { return {}; }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString saveFileNameFiltered(QWidget*, const QString&, const QStringList&, const QString&, int&,
                                 bool) override
    {
        return {};
    }
    bool chooseFont(QWidget*, QFont&) override { return false; }
    bool chooseColor(QWidget*, QColor&) override { return false; }
};

qint64 timeOneSearch(editor::PreviewSearch& search, preview::RichTextViewer& viewer, bool matchCase)
{
    viewer.setSelStart(0);
    search.state().matchCase = matchCase;
    search.state().restart = true;
    QElapsedTimer timer;
    timer.start();
    search.findNext();
    return timer.elapsed();
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: preview_search_bench FILE WORD\n");
        return 2;
    }
    preview::RichTextViewer viewer;
    viewer.resize(800, 600);
    viewer.show();
    QString error;
    if (!viewer.loadFile(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "load failed: %s\n", qPrintable(error));
        return 1;
    }
    QApplication::processEvents();
    CountingPrompts prompts;
    editor::PreviewSearch search(&viewer, nullptr, prompts, nullptr);
    search.state().text = QString::fromLocal8Bit(argv[2]);
    search.state().direction = editor::SearchDirection::Down;

    const qint64 folded = timeOneSearch(search, viewer, false);
    const int foldedAt = viewer.selStart() + 1;
    const qint64 exact = timeOneSearch(search, viewer, true);
    const int exactAt = viewer.selStart() + 1;
    if (prompts.boxes != 0 || foldedAt != exactAt || foldedAt <= 1) {
        std::fprintf(stderr, "the word was not found where expected (%d, %d)\n", foldedAt, exactAt);
        return 1;
    }
    std::printf("%lld %lld %d\n", static_cast<long long>(folded), static_cast<long long>(exact),
                foldedAt);
    return 0;
}
