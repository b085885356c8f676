#include "export/Lignage.h"

#include <QString>
#include <gtest/gtest.h>

namespace {
int count(const char* psz) {
    return countSpokenCharacters(QString::fromUtf8(psz));
}
} // namespace

TEST(Lignage, LinesOfFiftyCharacters) {
    EXPECT_EQ(lignageFromCount(0), 0);
    EXPECT_EQ(lignageFromCount(7), 1);
    EXPECT_EQ(lignageFromCount(25), 1);
    EXPECT_EQ(lignageFromCount(50), 1);
    EXPECT_EQ(lignageFromCount(75), 1);
    EXPECT_EQ(lignageFromCount(76), 2);
    EXPECT_EQ(lignageFromCount(100), 2);
    EXPECT_EQ(lignageFromCount(126), 3);
}

TEST(Lignage, ParenthesesAreNotSpoken) {
    EXPECT_EQ(count("Bonjour"), 7);
    EXPECT_EQ(count("Oui (il rit) non"), 8);
    EXPECT_EQ(count("(rire)"), 0);
    EXPECT_EQ(count("a (b (c) d) e"), 7); // the first ")" ends the aside: " d) e" is counted
    EXPECT_EQ(count("(pas fini"), 0);
    EXPECT_EQ(count("fin)"), 4);
}

TEST(Lignage, SpacesUnderscoresAndDoubledLetters) {
    EXPECT_EQ(count("a  b"), 3); // a space before a space
    EXPECT_EQ(count("Quoi ? Oui , non ."), 15);
    EXPECT_EQ(count("a\tb"), 3);  // a tab before a letter stays
    EXPECT_EQ(count("oui !"), 5); // "!" is not in the list
    EXPECT_EQ(count("bon_jour"), 7);
    EXPECT_EQ(count("Aaah"), 2);  // "aaa": two vowels in a row, twice
    EXPECT_EQ(count("Allez"), 5); // doubled consonants stay
    EXPECT_EQ(count("Grrr"), 3);  // the first of three equal characters
    EXPECT_EQ(count("zzzz"), 2);
    EXPECT_EQ(count("a "), 2); // the last character has nothing after it
    EXPECT_EQ(count("AA"), 1); // lower-cased first
}

TEST(Lignage, Noises) {
    EXPECT_EQ(count("Mts"), 0);
    EXPECT_EQ(count("tst, tst"), 2);
    EXPECT_EQ(count("Sniff !"), 2);
    EXPECT_EQ(count("snif"), 0);
    EXPECT_EQ(count("snifff"), 0); // five for the word, one for the triple f
    EXPECT_EQ(count("Snif."), 1);
    EXPECT_EQ(count("sniffer"), 7); // a word that goes on is spoken
    EXPECT_EQ(count("sni"), 3);
    EXPECT_EQ(count("snifé"), 1);  // only a to z continue the word
    EXPECT_EQ(count("mtstst"), 0); // overlapping noises never go below nothing
}

TEST(Lignage, LineBreaksCountAsTwoCharacters) {
    EXPECT_EQ(count("a\r\nb"), 4);
}
