#include "preview/BrowserPane.h"

namespace preview
{

BrowserPane::BrowserPane(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

} // namespace preview
