#include "vare/ScriptFile.h"
#include "vare/VarE.h"
#include "vare/XmlShape.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray nested(int nLevels, const char* pszName = "p") {
    QByteArray open, close;
    for (int i = 0; i < nLevels; ++i) {
        open += QByteArray("<") + pszName + ">";
        close += QByteArray("</") + pszName + ">";
    }
    return open + close;
}

// A small file whose entities grow into about a hundred megabytes once expanded.
QByteArray entityBomb() {
    QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE vare [<!ENTITY a \"" + QByteArray(1000, 'a') + "\">";
    for (char c = 'b'; c <= 'e'; ++c) {
        bomb += QByteArray("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += QByteArray("&") + char(c - 1) + ";";
        bomb += "\">";
    }
    return bomb + "]><vare><header><title>&e;</title></header><roles/><body/></vare>";
}
} // namespace

TEST(XmlShape, DepthIsCountedOnElementsOnly) {
    EXPECT_EQ(CXmlShape::check(nested(64)), CXmlShape::OK);
    EXPECT_EQ(CXmlShape::check(nested(65)), CXmlShape::TOO_DEEP);
    // Siblings, empty elements, comments, processing instructions and CDATA add no level; a '>' or a
    // "/>" inside a quoted value ends nothing.
    QByteArray flat = "<?xml version=\"1.0\"?><!-- <a><b><c> --><vare>";
    for (int i = 0; i < 200; ++i)
        flat += "<line a=\"x>y\" b='/>'><empty/><![CDATA[<x><y><z>]]></line>";
    flat += "</vare>";
    EXPECT_EQ(CXmlShape::check(flat, 3), CXmlShape::OK);
    EXPECT_EQ(CXmlShape::check("<a><b a=\"/>\"><c/></b></a>", 2), CXmlShape::OK);
    EXPECT_EQ(CXmlShape::check("<a><b a=\"/>\"><c></c></b></a>", 2), CXmlShape::TOO_DEEP);
    // A truncated text ends the scan without reading past it.
    EXPECT_EQ(CXmlShape::check("<a><b x=\"never closed"), CXmlShape::OK);
    EXPECT_EQ(CXmlShape::check("<!-- never closed"), CXmlShape::OK);
    EXPECT_EQ(CXmlShape::check(entityBomb()), CXmlShape::DECLARES_ENTITIES);
    EXPECT_EQ(CXmlShape::check("<!DOCTYPE vare [<!ELEMENT vare ANY>]><vare/>"), CXmlShape::OK);
}

// A deep file once overflowed the parser's stack; a bomb took gigabytes. Both are refused with a reason
// the program and the command line show, and the script read before stays whole.
TEST(XmlShape, HostileScriptsAreRefusedWithTheirReason) {
    QTemporaryDir dir;
    auto write = [&](const char* pszName, const QByteArray& data) {
        const QString strPath = dir.filePath(QString::fromLatin1(pszName));
        QFile f(strPath);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return strPath;
    };
    const QString strDeep = write("deep.vare", "<vare><roles/><body>" + nested(150000) + "</body></vare>");
    const QString strBomb = write("bomb.vare", entityBomb());
    const QString strGood = write("good.vare", "<vare><header><title>Bon</title></header><roles/><body/></vare>");

    CVarE script;
    QString strError;
    EXPECT_FALSE(readScriptFile(strDeep, EScriptFormat::VARE, script, nullptr, &strError));
    EXPECT_TRUE(strError.contains(QStringLiteral("imbriqués"))) << strError.toStdString();
    EXPECT_FALSE(readScriptFile(strBomb, EScriptFormat::VARE, script, nullptr, &strError));
    EXPECT_TRUE(strError.contains(QStringLiteral("entités"))) << strError.toStdString();

    // The reason belongs to the load that found it.
    EXPECT_TRUE(readScriptFile(strGood, EScriptFormat::VARE, script, nullptr, &strError));
    EXPECT_TRUE(script.getLoadProblem().isEmpty());
    EXPECT_EQ(script.get(CVarE::H_TITLE), QStringLiteral("Bon"));
    EXPECT_FALSE(readScriptFile(write("broken.vare", "<vare><roles>"), EScriptFormat::VARE, script, nullptr,
                                &strError));
    EXPECT_EQ(strError, QStringLiteral("ce n'est pas un script VarE valide"));
}
