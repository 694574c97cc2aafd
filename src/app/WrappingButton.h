#pragma once

#include <QPushButton>

namespace app
{

// A push button whose caption wraps onto several lines when the button is narrower than
// the caption, instead of being cut off.
class WrappingButton final : public QPushButton
{
    Q_OBJECT
public:
    explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace app
