#include "editor/FindDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace editor
{

FindDialog::FindDialog(SearchState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("検索"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* label = new QLabel(QStringLiteral("検索する文字列(&N):"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("txtFind"));
    m_text->setToolTip(QStringLiteral("検索する文字列を入力します"));
    m_text->setMinimumWidth(240);
    label->setBuddy(m_text);

    auto* frame = new QGroupBox(QStringLiteral("検索する方向"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QHBoxLayout(frame);
    auto* group = new QButtonGroup(frame);
    struct Option {
        int index;
        const char* caption;
        const char* tooltip;
    };
    // Down is the first on the dialog, index 1; up the second, index 0.
    for (const Option& o : {Option{1, "下へ(&D)", "文書の末尾方向に検索します"},
                            Option{0, "上へ(&U)", "文書の先頭方向に検索します"}}) {
        auto* button = new QRadioButton(QString::fromUtf8(o.caption), frame);
        button->setObjectName(QStringLiteral("optDirection"));
        button->setProperty("index", o.index);
        button->setToolTip(QString::fromUtf8(o.tooltip));
        group->addButton(button, o.index);
        frameLayout->addWidget(button);
        m_direction[o.index] = button;
    }

    m_case = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this);
    m_case->setObjectName(QStringLiteral("chkCase"));

    m_find = new QPushButton(QStringLiteral("検索(&F)"), this);
    m_find->setObjectName(QStringLiteral("cmdFind"));
    m_find->setToolTip(QStringLiteral("検索を開始します"));
    m_find->setDefault(true);
    m_find->setEnabled(false);
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("cmdcancel"));
    m_cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text, 0, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(frame);
    left->addWidget(m_case);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(m_find);
    right->addWidget(m_cancel);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    showDirection();

    connect(m_text, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_state.restart = true;
        m_find->setEnabled(!text.isEmpty());
    });
    connect(group, &QButtonGroup::idClicked, this,
            [this](int index) { m_state.direction = static_cast<SearchDirection>(index); });
    connect(m_case, &QCheckBox::clicked, this,
            [this](bool checked) { m_state.matchCase = checked; });
    connect(m_find, &QPushButton::clicked, this, [this] {
        m_state.text = m_text->text();
        Q_EMIT findRequested();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_state.text = m_text->text();
        m_state.matchCase = m_case->isChecked();
        close();
    });
}

QRadioButton* FindDialog::directionButton(int index) const
{
    return index == 0 || index == 1 ? m_direction[index] : nullptr;
}

void FindDialog::showDirection()
{
    // Any direction other than down is up.
    const int index = m_state.direction == SearchDirection::Down ? 1 : 0;
    m_direction[index]->setChecked(true);
}

void FindDialog::reject()
{
    // Esc is "キャンセル".
    m_cancel->click();
}

void FindDialog::closeEvent(QCloseEvent* event)
{
    // Closed from the title bar: nothing is taken from the boxes.
    event->accept();
}

} // namespace editor
