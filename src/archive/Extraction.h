#pragma once

#include "archive/ArchiverLibrary.h"
#include "archive/ExtractDialog.h"
#include "archive/Services.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace archive
{

class ShowExtractedDialog;

// Extraction of the selected archive from the main window: the destination dialog, the
// result window and the offer to show the extracted files. One per main window; it keeps
// the one show-extracted-files dialog that may be open.
class Extraction final : public QObject
{
    Q_OBJECT
public:
    explicit Extraction(Services services, QObject* parent = nullptr);
    ~Extraction() override;

    const Services& services() const { return m_services; }
    QWidget* window() const;

    // Opens the destination dialog over the main window and waits for it.
    void run();
    // What the destination dialog hands back: reports to the result window, and the offer.
    ExtractDialog::Results dialogResults();
    // Shows the report in the result window and waits until it is closed.
    void showResult(const QString& report);
    // Offers to show the last chosen folder; when the offer is open already it only comes to
    // the front.
    void offerToShow();
    ShowExtractedDialog* showExtractedDialog() const;

private:
    Services m_services;
    QPointer<ShowExtractedDialog> m_offer;
};

} // namespace archive
