#include "base/TextEncoding.h"

#include <gtest/gtest.h>

TEST(Cp1252, RoundTripAndGaps) {
    const QString str = QStringLiteral("Œuvre « été » – 5 € … ’ça’");
    int nLost = -1;
    const QByteArray bytes = Cp1252::encode(str, '?', &nLost);
    EXPECT_EQ(nLost, 0);
    EXPECT_EQ(bytes.size(), str.size());
    EXPECT_EQ(uchar(bytes[0]), 0x8C);                         // Œ
    EXPECT_EQ(uchar(bytes.at(bytes.indexOf('5') + 2)), 0x80); // €
    EXPECT_EQ(Cp1252::decode(bytes), str);

    // What the code page cannot hold is replaced and counted, a surrogate pair once.
    EXPECT_EQ(Cp1252::encode(QStringLiteral("a\u0142b\U0001F600c"), '?', &nLost), "a?b?c");
    EXPECT_EQ(nLost, 2);
    EXPECT_FALSE(Cp1252::canEncode(u'\u0142'));
    EXPECT_TRUE(Cp1252::canEncode(u'é'));

    // The undefined bytes read as the replacement character, the others as their characters.
    EXPECT_EQ(Cp1252::decodeChar(0x81), QChar(0xFFFD));
    EXPECT_EQ(Cp1252::decodeChar(0x9C), QChar(u'œ'));
    EXPECT_EQ(Cp1252::decodeChar(0xE9), QChar(u'é'));
    EXPECT_EQ(Cp1252::decodeChar(0x41), QChar(u'A'));
}
