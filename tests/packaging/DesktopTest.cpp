// The desktop's side: the entry, metainfo and file types as the desktop's own tools read them, and
// Qt's own texts in French.
#include "Run.h"
#include "app/Prompts.h"
#include "base/DataFolder.h"
#include "base/QtFrench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <set>

namespace {
const QString s_strId = QStringLiteral(TAVORIN_APP_ID);
const QString s_strPackaging = QStringLiteral(TAVORIN_SOURCE_DIR "/packaging/");

QString readText(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

std::set<QString> matches(const QString& strText, const QString& strPattern) {
    std::set<QString> found;
    auto it = QRegularExpression(strPattern).globalMatch(strText);
    while (it.hasNext())
        found.insert(it.next().captured(1));
    return found;
}

QApplication& app() {
    static int s_argc = 1;
    static char s_name[] = "test_packaging";
    static char* s_argv[] = {s_name, nullptr};
    static QApplication* s_pApp = new QApplication(s_argc, s_argv);
    return *s_pApp;
}
} // namespace

TEST(DesktopEntry, PassesTheValidatorsAndNamesTheTypesItOpens) {
    SRun r = run("desktop-file-validate", {s_strPackaging + s_strId + ".desktop"});
    EXPECT_EQ(r.nExit, 0) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData(); // not even a hint
    r = run("appstreamcli",
            {"validate", "--no-net", "--pedantic", s_strPackaging + s_strId + ".metainfo.xml"});
    EXPECT_EQ(r.nExit, 0) << r.out.constData() << r.err.constData();

    // One list of types: those the file types define, the entry opens and the metainfo names.
    const std::set<QString> defined =
        matches(readText(s_strPackaging + s_strId + ".mime.xml"), "<mime-type type=\"([^\"]+)\"");
    const QString strEntry = readText(s_strPackaging + s_strId + ".desktop");
    const QStringList opened =
        QRegularExpression("\\nMimeType=(.*)\\n").match(strEntry).captured(1).split(';', Qt::SkipEmptyParts);
    const std::set<QString> named =
        matches(readText(s_strPackaging + s_strId + ".metainfo.xml"), "<mediatype>([^<]+)</mediatype>");
    EXPECT_EQ(defined.size(), 2u);
    EXPECT_EQ(defined, std::set<QString>(opened.begin(), opened.end()));
    EXPECT_EQ(defined, named);
    EXPECT_TRUE(strEntry.contains("\nExec=tavorin %F\n"));
}

// The file types and the entry installed into an XDG data folder of their own, read by xdg-mime the
// way a GNOME desktop reads them (gio).
TEST(FileTypes, XdgMimeKnowsScriptsByNameAndByContentAndOpensThemWithTavorin) {
    QTemporaryDir data;
    QDir().mkpath(data.filePath("mime/packages"));
    QDir().mkpath(data.filePath("applications"));
    ASSERT_TRUE(QFile::copy(s_strPackaging + s_strId + ".mime.xml",
                            data.filePath("mime/packages/" + s_strId + ".xml")));
    ASSERT_TRUE(QFile::copy(s_strPackaging + s_strId + ".desktop",
                            data.filePath("applications/" + s_strId + ".desktop")));
    ASSERT_EQ(run("update-mime-database", {data.filePath("mime")}).nExit, 0);
    ASSERT_EQ(run("update-desktop-database", {data.filePath("applications")}).nExit, 0);

    QTemporaryDir files;
    auto copy = [&](const QString& strFrom, const QString& strName) {
        QFile::copy(strFrom, files.filePath(strName));
        return files.filePath(strName);
    };
    auto write = [&](const QString& strName, const QByteArray& content) {
        QFile f(files.filePath(strName));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return files.filePath(strName);
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", data.path());
    env.insert("XDG_DATA_DIRS", "/usr/share");
    env.insert("XDG_CURRENT_DESKTOP", "GNOME");
    env.insert("XDG_CONFIG_HOME", files.filePath("config"));
    auto type = [&](const QString& strPath) {
        return QString::fromUtf8(run("xdg-mime", {"query", "filetype", strPath}, env).out).trimmed();
    };
    const QString strDemo = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");
    const QString strDet = QStringLiteral(TAVORIN_SOURCE_DIR "/fuzz/corpus/det/seed_sample.det");
    EXPECT_EQ(type(copy(strDemo, "Le Phare.vare")), "application/x-vare+xml");
    EXPECT_EQ(type(copy(strDemo, "script")), "application/x-vare+xml"); // by its root element
    EXPECT_EQ(type(write("autre.xml", "<?xml version=\"1.0\"?>\n<html/>\n")), "application/xml");
    EXPECT_EQ(type(copy(strDet, "ancien.det")), "application/x-rythmo-det");
    EXPECT_EQ(type(copy(strDet, "ancien")), "application/x-rythmo-det"); // by its header
    EXPECT_EQ(type(write("faux", "ni l'un ni l'autre\n")), "text/plain");

    // A double click opens both with Tavorin.
    for (const char* pszType : {"application/x-vare+xml", "application/x-rythmo-det"}) {
        const SRun r = run("xdg-mime", {"query", "default", pszType}, env);
        EXPECT_EQ(r.out.trimmed(), (s_strId + ".desktop").toUtf8()) << pszType;
    }
}

TEST(QtFrench, StandardButtonsMenusAndTheProgramsMessagesSpeakFrench) {
    QApplication& a = app();
    ASSERT_TRUE(installQtFrench(a, CDataFolder::program()));
    EXPECT_EQ(QLocale().language(), QLocale::French);

    QMessageBox box(QMessageBox::Question, "Tavorin", "?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "&Oui");
    EXPECT_EQ(box.button(QMessageBox::No)->text(), "&Non");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "Annuler");
    QDialogButtonBox buttons(QDialogButtonBox::Open | QDialogButtonBox::Save | QDialogButtonBox::Close);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Open)->text(), "Ouvrir");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text(), "Enregistrer");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Close)->text(), "Fermer");

    QLineEdit edit;
    std::unique_ptr<QMenu> pMenu(edit.createStandardContextMenu());
    QStringList actions;
    for (const QAction* p : pMenu->actions())
        if (!p->isSeparator()) actions.append(p->text().section('\t', 0, 0));
    EXPECT_TRUE(actions.contains("Cop&ier")) << actions.join(" | ").toStdString();
    EXPECT_TRUE(actions.contains("Tout sélectionner")) << actions.join(" | ").toStdString();

    // The program's own questions: Qt's captions, none set by hand any more.
    CPrompts prompts;
    QStringList captions;
    QTimer::singleShot(0, [&] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox) return;
        for (QAbstractButton* p : pBox->buttons())
            captions.append(p->text());
        pBox->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(prompts.yesNo("Voulez-vous enregistrer les modifications ?"));
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"&Non", "&Oui"}));
}
