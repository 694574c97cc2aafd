#include "settings/Settings.h"

#include "base/Conversions.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"
#include "settings/WindowHolder.h"

#include <optional>

namespace settings
{

Settings::Settings(const ExpIni& ini, SettingsForms& forms, WindowHolder& window, QObject* parent)
    : QObject(parent), m_ini(ini), m_forms(forms), m_window(window)
{
    connect(&m_forms, &SettingsForms::generalConfirmed, this, &Settings::publishGeneral);
}

QString Settings::stored(Key key) const
{
    return m_ini.read(sectionOf(key), nameOf(key));
}

bool Settings::load(Key key)
{
    const QString text = stored(key);
    switch (entry(key).holder) {
    case Holder::General:
        return m_forms.general()->load(key, text);
    case Holder::Preview:
        return m_forms.preview()->load(key, text);
    case Holder::File:
        break;
    }
    return false;
}

QString Settings::value(Key key) const
{
    switch (entry(key).holder) {
    case Holder::General:
        return m_forms.general()->value(key);
    case Holder::Preview:
        return m_forms.preview()->value(key);
    case Holder::File:
        break;
    }
    return stored(key);
}

bool Settings::flag(Key key) const
{
    return value(key) == QLatin1String("1");
}

bool Settings::previewOff(Preview kind) const
{
    return flag(previewKey(kind));
}

QList<CustomRule> Settings::customRules() const
{
    return {{flag(Key::Rule1InForce), value(Key::Rule1Extension), value(Key::Rule1Mode)},
            {flag(Key::Rule2InForce), value(Key::Rule2Extension), value(Key::Rule2Mode)}};
}

bool Settings::recycle() const
{
    return flag(Key::Recycle);
}

bool Settings::askForApplication() const
{
    return !flag(Key::NoAppChooser);
}

bool Settings::fileDragOff() const
{
    return flag(Key::NoFileDrag);
}

bool Settings::restoreSize() const
{
    return flag(Key::RecordSize);
}

bool Settings::network() const
{
    return flag(Key::Network);
}

bool Settings::askToShowExtracted() const
{
    return !flag(Key::NoExtractedQuestion);
}

bool Settings::showAssociation() const
{
    return !flag(Key::NoAssociation);
}

QString Settings::favouriteFolder(int number) const
{
    return value(favouriteKey(number));
}

namespace
{
const QString kZipCp932 = QStringLiteral("cp932");
const QString kZipUtf8 = QStringLiteral("utf-8");
} // namespace

bool Settings::zipNamesInCp932() const
{
    // Anything but the CP932 word, a missing key included, is the UTF-8 default.
    return stored(Key::ZipNameEncoding).trimmed().compare(kZipCp932, Qt::CaseInsensitive) == 0;
}

bool Settings::keepZipNamesInCp932(bool cp932)
{
    QList<ProfileEntry> entries{{sectionOf(Key::ZipNameEncoding), nameOf(Key::ZipNameEncoding),
                                 cp932 ? kZipCp932 : kZipUtf8, false}};
    return m_ini.save(entries, m_forms.prompts(), m_forms.owner());
}

void Settings::readFavourites()
{
    m_window.setFavouriteDrive(stored(Key::FavouriteDrive));
    for (int number = 1; number <= 5; ++number)
        m_window.setFavouriteFolder(number, stored(favouriteKey(number)));
}

void Settings::loadPreviewBoxes()
{
    for (const Key key : order::previewBoxes())
        load(key);
    for (const Key key : order::documentBoxes())
        load(key);
}

void Settings::loadCustomRules()
{
    for (const Key key : order::customRules())
        load(key);
}

void Settings::loadGeneral()
{
    m_forms.general(); // its own load reads every key
    for (const Key key : order::generalAgain())
        load(key);
    m_window.setNetworkItemVisible(network());
}

namespace
{
// The smallest stored window size taken: 200 by 150 pixels at 96 dots per inch.
constexpr double kMinimumWidthTwips = 3000;
constexpr double kMinimumHeightTwips = 2250;
} // namespace

bool Settings::restoreWindowSize()
{
    const std::optional<double> record = toNumber(stored(Key::RecordSize));
    if (!record)
        return false;
    if (*record != 1)
        return true;
    if (stored(Key::Maximised) == QLatin1String("2")) {
        m_window.maximise();
        return true;
    }
    // A size the screen cannot show whole, or one too small to use (a hand-edited or damaged
    // file), is not taken: the window keeps its design size that way.
    const QSizeF screen = m_window.screenSizeTwips();
    const auto usable = [](double twips, double minimum, double maximum) {
        return twips >= minimum && twips <= maximum;
    };
    const std::optional<double> width = toNumber(stored(Key::Width));
    if (!width)
        return false;
    if (usable(*width, kMinimumWidthTwips, screen.width()))
        m_window.setOuterWidthTwips(*width);
    const std::optional<double> height = toNumber(stored(Key::Height));
    if (!height)
        return false;
    if (usable(*height, kMinimumHeightTwips, screen.height()))
        m_window.setOuterHeightTwips(*height);
    return true;
}

bool Settings::finishGeneral()
{
    for (const Key key : order::generalLast()) {
        if (!load(key))
            return false;
    }
    return true;
}

void Settings::saveWindowSize()
{
    if (!restoreSize() || m_window.isMinimised())
        return;
    QList<ProfileEntry> entries;
    auto write = [&entries](Key key, const QString& text) {
        entries.append({sectionOf(key), nameOf(key), text, false});
    };
    if (m_window.isMaximised()) {
        write(Key::Maximised, QStringLiteral("2"));
    } else {
        const QSizeF outer = m_window.outerSizeTwips();
        write(Key::Maximised, QStringLiteral("0"));
        write(Key::Height, singleText(outer.height()));
        write(Key::Width, singleText(outer.width()));
    }
    m_ini.save(entries, m_forms.prompts(), m_forms.owner());
}

void Settings::publishGeneral()
{
    for (int number = 1; number <= 5; ++number)
        m_window.setFavouriteFolder(number, favouriteFolder(number));
    m_window.setNetworkItemVisible(network());
}

} // namespace settings
