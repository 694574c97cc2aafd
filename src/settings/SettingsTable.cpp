#include "settings/SettingsTable.h"

#include <algorithm>
#include <array>

namespace settings
{

namespace
{

using enum Key;

// Section, key, the holder's state without a value, and the control that holds it.
constexpr Entry kTable[] = {
    {FavouriteDrive, "yokutukau", "drive", "", Holder::General, "Drive1", Control::Drive},
    {Favourite1, "yokutukau", "folder", "", Holder::General, "Text1", Control::Text},
    {Favourite2, "yokutukau", "folder2", "", Holder::General, "Text2", Control::Text},
    {Favourite3, "yokutukau", "folder3", "", Holder::General, "Text3", Control::Text},
    {Favourite4, "yokutukau", "folder4", "", Holder::General, "Text4", Control::Text},
    {Favourite5, "yokutukau", "folder5", "", Holder::General, "Text5", Control::Text},
    {Recycle, "gomi", "subete", "0", Holder::General, "Check5", Control::Check},
    {NoAppChooser, "kanren", "hiraku", "0", Holder::General, "Check1", Control::Check},
    {NoFileDrag, "fairu", "drag", "0", Holder::General, "Check2", Control::Check},
    {RecordSize, "window", "size", "0", Holder::General, "Check3", Control::Check},
    {Network, "net", "siyou", "0", Holder::General, "Check4", Control::Check},
    {NoExtractedQuestion, "mes", "kaitou", "0", Holder::General, "Check6", Control::Check},
    {NoAssociation, "kanren", "n", "0", Holder::General, "Check7", Control::Check},
    {Maximised, "hyouji", "saidai", "", Holder::File, "", Control::None},
    {Width, "hyouji", "width", "", Holder::File, "", Control::None},
    {Height, "hyouji", "height", "", Holder::File, "", Control::None},
    {NoHtmPreview, "pre", "htm", "0", Holder::Preview, "Check1", Control::Check},
    {NoJpgPreview, "pre", "jpg", "0", Holder::Preview, "Check2", Control::Check},
    {NoTxtPreview, "pre", "txt", "0", Holder::Preview, "Check3", Control::Check},
    {NoBmpPreview, "pre", "bmp", "0", Holder::Preview, "Check4", Control::Check},
    {NoMp3Preview, "pre", "mp3", "0", Holder::Preview, "Check5", Control::Check},
    {NoPreview, "pre", "subete", "0", Holder::Preview, "Check6", Control::Check},
    {NoLzhPreview, "pre", "lzh", "0", Holder::Preview, "Check9", Control::Check},
    {NoZipPreview, "pre", "zip", "0", Holder::Preview, "Check10", Control::Check},
    {NoTaroPreview, "pre", "taro", "0", Holder::Preview, "Check11", Control::Check},
    {NoMultiPreview, "pre", "multi", "0", Holder::Preview, "Check12", Control::Check},
    {Rule1Extension, "cust", "kaku1", "", Holder::Preview, "Text1", Control::Text},
    {Rule1Mode, "cust", "syu1", "", Holder::Preview, "Label4", Control::Mode},
    {Rule1InForce, "cust", "jyou1", "0", Holder::Preview, "Check7", Control::Check},
    {Rule2Extension, "cust", "kaku2", "", Holder::Preview, "Text2", Control::Text},
    {Rule2Mode, "cust", "syu2", "", Holder::Preview, "Label5", Control::Mode},
    {Rule2InForce, "cust", "jyou2", "0", Holder::Preview, "Check8", Control::Check},
    {NoArchivePreview, "pre2", "arc", "0", Holder::File, "", Control::None},
    {NoPdfPreview, "pre3", "pdf", "0", Holder::Preview, "Check13", Control::Check},
    {NoPicturePreview, "pre3", "png", "0", Holder::Preview, "Check14", Control::Check},
    {NoMarkdownPreview, "pre3", "md", "0", Holder::Preview, "Check15", Control::Check},
    {NoVideoPreview, "pre3", "video", "0", Holder::Preview, "Check16", Control::Check},
    {NoSoundPreview, "pre3", "sound", "0", Holder::Preview, "Check17", Control::Check},
    {ZipNameEncoding, "zip", "encoding", "", Holder::File, "", Control::None},
};

constexpr bool tableInKeyOrder()
{
    for (std::size_t i = 0; i < std::size(kTable); ++i) {
        if (static_cast<std::size_t>(kTable[i].key) != i)
            return false;
    }
    return true;
}
static_assert(tableInKeyOrder(), "one row per key, in the order of the enum");

constexpr std::array kPreviewBoxes = {NoHtmPreview,  NoJpgPreview,  NoTxtPreview, NoBmpPreview,
                                      NoMp3Preview,  NoPreview,     NoLzhPreview, NoZipPreview,
                                      NoTaroPreview, NoMultiPreview};
constexpr std::array kCustomRules = {Rule1Mode, Rule1Extension, Rule1InForce,
                                     Rule2Mode, Rule2Extension, Rule2InForce};
constexpr std::array kGeneralLoad = {
    FavouriteDrive, Favourite1, Favourite2, Favourite3,          Favourite4,    Favourite5, Recycle,
    NoAppChooser,   NoFileDrag, Network,    NoExtractedQuestion, NoAssociation, RecordSize};
constexpr std::array kGeneralAgain = {Recycle, NoAppChooser, NoFileDrag, Network,
                                      NoExtractedQuestion};
constexpr std::array kGeneralLast = {RecordSize, NoAssociation};
constexpr std::array kGeneralWrite = {
    FavouriteDrive, Favourite1, Favourite2, Favourite3, Favourite4,          Favourite5,   Recycle,
    NoAppChooser,   NoFileDrag, RecordSize, Network,    NoExtractedQuestion, NoAssociation};
constexpr std::array kPreviewWrite = {NoHtmPreview, NoJpgPreview, NoTxtPreview,   NoBmpPreview,
                                      NoMp3Preview, NoPreview,    NoMultiPreview, Rule1Extension,
                                      Rule1Mode,    Rule1InForce, Rule2Extension, Rule2Mode,
                                      Rule2InForce, NoLzhPreview, NoZipPreview,   NoTaroPreview};
constexpr std::array kDocumentBoxes = {NoPdfPreview, NoPicturePreview, NoMarkdownPreview,
                                       NoVideoPreview, NoSoundPreview};

} // namespace

const Entry& entry(Key key)
{
    return kTable[static_cast<std::size_t>(key)];
}

const Entry* entryOfWidget(Holder holder, const QString& widget)
{
    const auto found = std::find_if(std::begin(kTable), std::end(kTable), [&](const Entry& e) {
        return e.holder == holder && widget == QLatin1String(e.widget);
    });
    return found == std::end(kTable) ? nullptr : found;
}

QString sectionOf(Key key)
{
    return QString::fromLatin1(entry(key).section);
}

QString nameOf(Key key)
{
    return QString::fromLatin1(entry(key).name);
}

Key previewKey(Preview kind)
{
    switch (kind) {
    case Preview::Htm:
        return NoHtmPreview;
    case Preview::Jpg:
        return NoJpgPreview;
    case Preview::Txt:
        return NoTxtPreview;
    case Preview::Bmp:
        return NoBmpPreview;
    case Preview::Mp3:
        return NoMp3Preview;
    case Preview::All:
        return NoPreview;
    case Preview::Lzh:
        return NoLzhPreview;
    case Preview::Zip:
        return NoZipPreview;
    case Preview::Taro:
        return NoTaroPreview;
    case Preview::Multi:
        return NoMultiPreview;
    case Preview::Archives:
        return NoArchivePreview;
    case Preview::Pdf:
        return NoPdfPreview;
    case Preview::Pictures:
        return NoPicturePreview;
    case Preview::Markdown:
        return NoMarkdownPreview;
    case Preview::Video:
        return NoVideoPreview;
    case Preview::Sound:
        return NoSoundPreview;
    }
    return NoPreview;
}

Key favouriteKey(int number)
{
    return static_cast<Key>(static_cast<int>(Favourite1) + std::clamp(number, 1, 5) - 1);
}

namespace order
{
std::span<const Key> previewBoxes()
{
    return kPreviewBoxes;
}
std::span<const Key> customRules()
{
    return kCustomRules;
}
std::span<const Key> generalLoad()
{
    return kGeneralLoad;
}
std::span<const Key> generalAgain()
{
    return kGeneralAgain;
}
std::span<const Key> generalLast()
{
    return kGeneralLast;
}
std::span<const Key> generalWrite()
{
    return kGeneralWrite;
}
std::span<const Key> previewWrite()
{
    return kPreviewWrite;
}
std::span<const Key> documentBoxes()
{
    return kDocumentBoxes;
}
} // namespace order

} // namespace settings
