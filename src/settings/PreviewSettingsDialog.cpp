#include "settings/PreviewSettingsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <vector>

namespace settings
{

namespace
{
struct Kind {
    int number;
    const char* caption;
};
// The kind boxes in their order on the dialog.
const Kind kKinds[] = {
    {1, "htm,htmlファイル"}, {2, "jpgファイル"},     {3, "txt関係のファイル"},
    {4, "bmp,ico,gif"},      {5, "MP3ファイル"},     {9, "LZHファイル"},
    {10, "ZIPファイル"},     {11, "一太郎ファイル"}, {12, "ﾏﾙﾁﾒﾃﾞｨｱﾌｧｲﾙ(wav,mid,avi)"},
    {6, "すべて"},
};
const char* const kModeCaptions[] = {"テキスト", "HTML", "絵"};
// The document kinds' boxes, in the column beside the design's controls.
const Kind kDocumentKinds[] = {
    {13, "PDFファイル"},
    {14, "png,webp,tiff,svg"},
    {15, "Markdownファイル(md)"},
    {16, "動画ファイル(mp4,mkv,webm)"},
    {17, "音声ファイル(flac,ogg,opus,m4a)"},
};
} // namespace

QString normalisedExtension(const QString& text)
{
    QString lower = text.toLower();
    if (!lower.startsWith(QLatin1Char('.')))
        lower.prepend(QLatin1Char('.'));
    return lower;
}

PreviewSettingsDialog::PreviewSettingsDialog(const ExpIni& ini, platform::Prompts& prompts,
                                             QWidget* parent)
    : QDialog(parent), m_ini(ini), m_prompts(prompts)
{
    setObjectName(QStringLiteral("PreviewSettings"));
    setWindowTitle(QStringLiteral("プレビューの設定"));
    setModal(true);

    auto* heading =
        new QLabel(QStringLiteral("プレビューを無効にする項目を選択してください"), this);
    heading->setObjectName(QStringLiteral("Label1"));

    auto* kinds = new QGridLayout;
    int cell = 0;
    for (const Kind& kind : kKinds) {
        auto* box = new QCheckBox(QString::fromUtf8(kind.caption), this);
        box->setObjectName(QStringLiteral("Check") + QString::number(kind.number));
        m_holders.bind(box);
        if (kind.number == 6)
            m_all = box;
        else
            m_kinds.append(box);
        kinds->addWidget(box, cell / 2, cell % 2);
        ++cell;
    }
    // "すべて" switches the nine other kinds off and on, and the document kinds with them.
    connect(m_all, &QCheckBox::stateChanged, this, [this](int state) {
        for (QCheckBox* box : kindBoxes() + documentBoxes())
            box->setEnabled(state == Qt::Unchecked);
    });

    auto* customHeading = new QLabel(QStringLiteral("プレビューのカスタム"), this);
    customHeading->setObjectName(QStringLiteral("Label2"));
    auto* extensionHeading = new QLabel(QStringLiteral("新たにプレビューする拡張子"), this);
    extensionHeading->setObjectName(QStringLiteral("Label3"));
    auto* modeHeading = new QLabel(QStringLiteral("表示するモード"), this);
    modeHeading->setObjectName(QStringLiteral("Label6"));

    auto* rules = new QGridLayout;
    rules->addWidget(extensionHeading, 0, 0, 1, 2);
    rules->addWidget(modeHeading, 2, 0, 1, 2);
    for (int r = 0; r < 2; ++r) {
        const QString n = QString::number(r + 1);
        m_extensions[r] = new QLineEdit(this);
        m_extensions[r]->setObjectName(QStringLiteral("Text") + n);
        m_extensions[r]->setAccessibleName(QStringLiteral("新たにプレビューする拡張子") + n);
        auto* frame = new QGroupBox(this);
        frame->setObjectName(QStringLiteral("Frame") + n);
        auto* frameLayout = new QVBoxLayout(frame);
        auto* group = new QButtonGroup(frame);
        m_modes[r] = new QLabel(this);
        m_modes[r]->setObjectName(QStringLiteral("Label") + QString::number(r + 4));
        m_modes[r]->hide();
        m_holders.bind(m_extensions[r]);
        for (int i = 0; i < 3; ++i) {
            auto* option = new QRadioButton(QString::fromUtf8(kModeCaptions[i]), frame);
            option->setObjectName(QStringLiteral("Option") + n);
            option->setProperty("index", i);
            group->addButton(option, i);
            frameLayout->addWidget(option);
            m_options[r][i] = option;
            QLabel* mode = m_modes[r];
            connect(option, &QRadioButton::toggled, this, [mode, i](bool on) {
                if (on)
                    mode->setText(QString::number(i));
            });
        }
        auto* inForce = new QCheckBox(this);
        inForce->setObjectName(QStringLiteral("Check") + QString::number(r + 7));
        inForce->setAccessibleName(QStringLiteral("プレビューのカスタム") + n +
                                   QStringLiteral("を使う"));
        m_holders.bind(m_modes[r], {m_options[r][0], m_options[r][1], m_options[r][2]});
        m_holders.bind(inForce);
        rules->addWidget(m_extensions[r], 1, r);
        rules->addWidget(frame, 3, r);
        rules->addWidget(inForce, 4, r);
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, &PreviewSettingsDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &PreviewSettingsDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* design = new QVBoxLayout;
    design->addWidget(heading);
    design->addLayout(kinds);
    design->addWidget(customHeading);
    design->addLayout(rules);
    design->addLayout(buttons);

    // The document kinds come after every control of the design, in a column of their own to
    // its right, so that nothing of the design moves.
    auto* documents = new QGroupBox(QStringLiteral("そのほかのファイル"), this);
    documents->setObjectName(QStringLiteral("Frame3"));
    auto* documentsLayout = new QVBoxLayout(documents);
    for (const Kind& kind : kDocumentKinds) {
        auto* box = new QCheckBox(QString::fromUtf8(kind.caption), documents);
        box->setObjectName(QStringLiteral("Check") + QString::number(kind.number));
        m_holders.bind(box);
        m_documents.append(box);
        documentsLayout->addWidget(box);
    }
    documentsLayout->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(design);
    layout->addWidget(documents, 0, Qt::AlignTop);
    m_holders.clear();
}

QLineEdit* PreviewSettingsDialog::extensionBox(int rule) const
{
    return rule == 1 || rule == 2 ? m_extensions[rule - 1] : nullptr;
}

QRadioButton* PreviewSettingsDialog::option(int rule, int index) const
{
    if ((rule != 1 && rule != 2) || index < 0 || index > 2)
        return nullptr;
    return m_options[rule - 1][index];
}

QLabel* PreviewSettingsDialog::modeLabel(int rule) const
{
    return rule == 1 || rule == 2 ? m_modes[rule - 1] : nullptr;
}

QList<QCheckBox*> PreviewSettingsDialog::kindBoxes() const
{
    return m_kinds;
}

QList<QCheckBox*> PreviewSettingsDialog::documentBoxes() const
{
    return m_documents;
}

void PreviewSettingsDialog::confirm()
{
    // Both extensions are stored in lower case with a leading ".".
    for (QLineEdit* box : m_extensions)
        box->setText(normalisedExtension(box->text()));
    // A failed save has told the user; the settings stay in force until the program exits.
    if (m_holders.save(order::previewWrite(), m_ini, m_prompts, this)) {
        // The document kinds' section is written only once one of them is changed: a file
        // without it keeps showing them all, and the design's keys are written as before.
        std::vector<Key> changed;
        for (const Key key : order::documentBoxes()) {
            if (m_holders.changed(key))
                changed.push_back(key);
        }
        if (!changed.empty())
            m_holders.save(changed, m_ini, m_prompts, this);
    }
    accept();
}

void PreviewSettingsDialog::reject()
{
    // Nothing is written and nothing is undone.
    QDialog::reject();
}

} // namespace settings
