#include "base/Cp932.h"

#include <gtest/gtest.h>

namespace
{

QByteArray encoded(const QString& text)
{
    QByteArray out;
    EXPECT_TRUE(platform::toCp932(text, out));
    return out;
}

} // namespace

TEST(Cp932, JapaneseBothWays)
{
    const QByteArray bytes = QByteArray::fromHex("835c8374836789ba88ea8e9a");
    EXPECT_EQ(platform::fromCp932(bytes), QStringLiteral("ソフト下一字"));
    EXPECT_EQ(encoded(QStringLiteral("ソフト下一字")), bytes);
    // Half-width katakana are single bytes; 0x5C is the backslash.
    EXPECT_EQ(encoded(QStringLiteral("ｱ\\")), QByteArray::fromHex("b15c"));
}

TEST(Cp932, ControlCharactersKeepTheirCodes)
{
    const QByteArray controls = QByteArray::fromHex("1a1c7f");
    EXPECT_EQ(platform::fromCp932(controls), QString::fromLatin1("\x1a\x1c\x7f"));
    EXPECT_EQ(encoded(QString::fromLatin1("\x1a\x1c\x7f")), controls);
}

TEST(Cp932, DuplicateFormsAreWrittenAsWindowsWritesThem)
{
    // Small roman numeral one: the IBM extension, not the NEC-selected copy (0xEEEF).
    EXPECT_EQ(encoded(QStringLiteral("ⅰ")), QByteArray::fromHex("fa40"));
    EXPECT_EQ(platform::fromCp932(QByteArray::fromHex("eeef")), QStringLiteral("ⅰ"));
    // Nearly equal: the JIS row, not the NEC row 13 copy (0x8790).
    EXPECT_EQ(encoded(QStringLiteral("≒")), QByteArray::fromHex("81e0"));
    // Circled one lives in NEC row 13 only.
    EXPECT_EQ(encoded(QStringLiteral("①")), QByteArray::fromHex("8740"));
}

TEST(Cp932, TextWithoutAFormIsRefusedNotAltered)
{
    QByteArray out = "left alone";
    EXPECT_FALSE(platform::toCp932(QStringLiteral("emoji😀"), out));
    EXPECT_TRUE(out.isEmpty());
    // A zero-width space has no form; it is refused rather than dropped.
    EXPECT_FALSE(platform::toCp932(QStringLiteral("a\u200Bb"), out));
    // The cent sign would only fit as the full-width cent sign, which is another character.
    EXPECT_FALSE(platform::toCp932(QStringLiteral("¢"), out));
    EXPECT_TRUE(platform::toCp932(QString(), out));
    EXPECT_TRUE(out.isEmpty());
}

TEST(Cp932, BrokenBytesBecomeReplacementCharacters)
{
    // A lead byte at the end, a lead byte before a byte that cannot follow it, an unassigned
    // pair: each is one replacement character and the text after it is kept.
    EXPECT_EQ(platform::fromCp932(QByteArray::fromHex("4181")), QStringLiteral("A\uFFFD"));
    EXPECT_EQ(platform::fromCp932(QByteArray::fromHex("812041")), QStringLiteral("\uFFFD A"));
    EXPECT_EQ(platform::fromCp932(QByteArray::fromHex("85404142")), QStringLiteral("\uFFFDAB"));
}
