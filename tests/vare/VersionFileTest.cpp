#include "vare/VersionFile.h"

#include <gtest/gtest.h>

TEST(VersionFile, VersionsCompareByTheirNumbers) {
    struct {
        const char *a, *b;
        int nExpected;
    } const cases[] = {
        {"3.10.0", "3.7.0", 1}, // the text comparison would say older
        {"3.7.0", "3.7.0", 0},
        {"3.7", "3.7.0", 0},
        {"3.7.1", "3.7", 1},
        {"4", "3.99.99", 1},
        {"", "3.7.0", -1},
        {"3.7.0", "", 1},
        {"10.0.0", "9.9.9", 1},
        {" 3.8.0 ", "3.7.0", 1},
        {"3.8.0-rc1", "3.8.0", -1},
        {"3.8.0-rc2", "3.8.0-rc1", 1},
        {"3.8.0-rc1", "3.7.9", 1},
        {"abc", "3.7.0", -1},
        {"99999999999999999999", "3.7.0", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareVersions(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.nExpected)
            << c.a << " / " << c.b;
        EXPECT_EQ(compareVersions(QString::fromUtf8(c.b), QString::fromUtf8(c.a)), -c.nExpected)
            << c.b << " / " << c.a;
    }
}

TEST(VersionFile, ReadsTheFirstNumberPathAndChecksum) {
    SVersionFile file;
    ASSERT_TRUE(file.read("<?xml version=\"1.0\"?>\n<version><release><number> 3.10.0 </number>"
                          "<path>https://example.org/bin/tavorin_3.10.0_amd64.deb</path>"
                          "<sha256>ABCDEF</sha256></release><number>9.9.9</number><other/></version>"));
    EXPECT_EQ(file.strNumber, "3.10.0");
    EXPECT_EQ(file.strPath, "https://example.org/bin/tavorin_3.10.0_amd64.deb");
    EXPECT_EQ(file.strSha256, "ABCDEF");

    // Elements may be missing.
    ASSERT_TRUE(file.read("<version><path>x</path></version>"));
    EXPECT_TRUE(file.strNumber.isEmpty());
    EXPECT_EQ(file.strPath, "x");
    EXPECT_TRUE(file.strSha256.isEmpty());

    // Not XML, too big, or empty: refused, nothing kept.
    EXPECT_FALSE(file.read("<version><number>3.8.0</number>"));
    EXPECT_TRUE(file.strPath.isEmpty());
    EXPECT_FALSE(file.read(""));
    EXPECT_FALSE(file.read("<html>404</html> plus"));
    QByteArray big =
        "<version><number>3.8.0</number><pad>" + QByteArray(SVersionFile::MAX_SIZE, 'x') + "</pad></version>";
    EXPECT_FALSE(file.read(big));
}

TEST(VersionFile, NeverFetchesAnythingNorExpandsWithoutLimit) {
    SVersionFile file;
    // A file that declares entities (an external one here) is refused whole, before anything is read.
    EXPECT_FALSE(file.read("<!DOCTYPE v [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                           "<version><number>3.8.0</number><path>&e;</path></version>"));
    EXPECT_FALSE(file.strPath.contains("root"));
    ASSERT_TRUE(file.read("<version><number>3.8.0</number><path>x</path></version>"));
    EXPECT_EQ(file.strNumber, "3.8.0");
    // A billion laughs is stopped.
    QByteArray bomb = "<!DOCTYPE v [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'j'; ++c)
        bomb += QByteArray("<!ENTITY ") + c + " \"" +
                QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">";
    bomb += "]><version><number>&j;</number></version>";
    EXPECT_FALSE(file.read(bomb));
}
