#include "base/FileSaver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readAll(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& strPath, const QByteArray& data) {
    QFile f(strPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

struct stat statOf(const QString& strPath) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(strPath).constData(), &st), 0) << qPrintable(strPath);
    return st;
}

// A folder for the copies taken before in-place writes, apart from every other test's.
struct SCopies {
    QTemporaryDir dir;
    SCopies() { CFileSaver::setCopyFolder(dir.filePath(QStringLiteral("copies"))); }
    ~SCopies() {
        CFileSaver::setCopyFolder({});
        CFileSaver::setTemporaryRefused(false);
    }
};
} // namespace

TEST(FileSaver, KeepsOwnerGroupAndMode) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    writeFile(strPath, "old");
    const QByteArray native = QFile::encodeName(strPath);
    ASSERT_EQ(::chmod(native.constData(), 0640), 0);
    const bool bGaveAway = ::chown(native.constData(), 4321, 4321) == 0;

    QString strReason;
    ASSERT_TRUE(CFileSaver::save(strPath, "new text", &strReason)) << qPrintable(strReason);
    EXPECT_EQ(readAll(strPath), "new text");
    const struct stat st = statOf(strPath);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (!bGaveAway) GTEST_SKIP() << "only root can give a file to another user: owner not checked";
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
    EXPECT_EQ(st.st_nlink, 1u);
}

TEST(FileSaver, ANewFileIsTheWritersAndNothingIsCopied) {
    SCopies copies;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("new.rtf"));
    CFileSaver file(strPath);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("a") && file.write(QByteArray("bc")));
    ASSERT_TRUE(file.commit());
    EXPECT_FALSE(file.isInPlace());
    EXPECT_TRUE(file.copyPath().isEmpty());
    EXPECT_EQ(readAll(strPath), "abc");
    EXPECT_EQ(statOf(strPath).st_uid, ::geteuid());
}

TEST(FileSaver, HardLinksAllSeeTheNewText) {
    SCopies copies;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    const QString strLink = dir.filePath(QStringLiteral("lien.vare"));
    writeFile(strPath, "the old text, longer than the new");
    ASSERT_EQ(::link(QFile::encodeName(strPath).constData(), QFile::encodeName(strLink).constData()), 0);
    const ino_t nInode = statOf(strPath).st_ino;

    CFileSaver file(strPath);
    ASSERT_TRUE(file.open()) << qPrintable(file.reason());
    EXPECT_TRUE(file.isInPlace());
    ASSERT_TRUE(file.write("new"));
    ASSERT_TRUE(file.commit()) << qPrintable(file.reason());
    EXPECT_EQ(readAll(strPath), "new");
    EXPECT_EQ(readAll(strLink), "new");
    EXPECT_EQ(statOf(strPath).st_ino, nInode);
    EXPECT_EQ(statOf(strPath).st_nlink, 2u);
    // The old text was copied first, under a name that says whose it is.
    EXPECT_EQ(file.copyPath(), CFileSaver::copyPathFor(strPath));
    EXPECT_TRUE(file.copyPath().startsWith(CFileSaver::copyFolder() + QStringLiteral("/film.vare ")));
    EXPECT_EQ(readAll(file.copyPath()), "the old text, longer than the new");

    // A longer text after a shorter one: nothing of the old one is left over either.
    ASSERT_TRUE(CFileSaver::save(strLink, "a much longer text than before"));
    EXPECT_EQ(readAll(strPath), "a much longer text than before");
    EXPECT_EQ(readAll(CFileSaver::copyPathFor(strLink)), "new");
}

TEST(FileSaver, AFolderThatTakesNoNewFileIsWrittenInPlace) {
    SCopies copies;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    const QString strNew = dir.filePath(QStringLiteral("nouveau.vare"));
    writeFile(strPath, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(strPath).constData(), 0604), 0);
    const ino_t nInode = statOf(strPath).st_ino;
    // The temporary file beside the target is refused: as root the folder's mode cannot do it.
    CFileSaver::setTemporaryRefused(true);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);

    QString strReason;
    EXPECT_TRUE(CFileSaver::save(strPath, "new", &strReason)) << qPrintable(strReason);
    EXPECT_EQ(readAll(strPath), "new");
    EXPECT_EQ(statOf(strPath).st_ino, nInode);
    EXPECT_EQ(statOf(strPath).st_mode & 07777, 0604u);
    EXPECT_EQ(readAll(CFileSaver::copyPathFor(strPath)), "old");
    // A new name cannot be written in place: the folder's refusal is the reason.
    EXPECT_FALSE(CFileSaver::save(strNew, "x", &strReason));
    EXPECT_EQ(strReason, QStringLiteral("permission refusée"));
    EXPECT_FALSE(QFile::exists(strNew));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
}

TEST(FileSaver, AReadOnlyFolderRefusesItsTemporaryFile) {
    SCopies copies;
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders: run as an ordinary user";
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    writeFile(strPath, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    QString strReason;
    EXPECT_TRUE(CFileSaver::save(strPath, "new", &strReason)) << qPrintable(strReason);
    EXPECT_EQ(readAll(strPath), "new");
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
}

TEST(FileSaver, AnInPlaceWriteThatFailsPutsTheOldTextBack) {
    SCopies copies;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    const QString strLink = dir.filePath(QStringLiteral("lien.vare"));
    const QByteArray old(3000, 'o');
    writeFile(strPath, old);
    ASSERT_EQ(::link(QFile::encodeName(strPath).constData(), QFile::encodeName(strLink).constData()), 0);

    // A limit on file sizes makes the write stop half-way, as a full disk would.
    struct rlimit was {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = was;
    limit.rlim_cur = 8192;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    QString strReason;
    const bool bSaved = CFileSaver::save(strPath, QByteArray(20000, 'n'), &strReason);
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(bSaved);
    EXPECT_EQ(readAll(strPath), old);
    EXPECT_EQ(readAll(strLink), old);
    EXPECT_EQ(readAll(CFileSaver::copyPathFor(strPath)), old);
    EXPECT_TRUE(
        strReason.startsWith(QStringLiteral("fichier trop volumineux ; l'ancien texte a été remis en place")))
        << qPrintable(strReason);
    EXPECT_TRUE(strReason.contains(CFileSaver::copyPathFor(strPath))) << qPrintable(strReason);
}

TEST(FileSaver, NoInPlaceWriteWithoutACopy) {
    SCopies copies;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    writeFile(strPath, "old");
    ASSERT_EQ(::link(QFile::encodeName(strPath).constData(),
                     QFile::encodeName(dir.filePath(QStringLiteral("lien.vare"))).constData()),
              0);
    // The copy folder cannot be made: a file holds its name.
    writeFile(dir.filePath(QStringLiteral("bouchon")), "");
    CFileSaver::setCopyFolder(dir.filePath(QStringLiteral("bouchon")));
    QString strReason;
    EXPECT_FALSE(CFileSaver::save(strPath, "new", &strReason));
    EXPECT_TRUE(strReason.startsWith(QStringLiteral("la copie de l'ancien texte n'a pas pu être écrite")))
        << qPrintable(strReason);
    EXPECT_EQ(readAll(strPath), "old");
}

TEST(FileSaver, OnlyRegularFilesAreReplaced) {
    QString strReason;
    EXPECT_FALSE(CFileSaver::save(QStringLiteral("/dev/null"), "x", &strReason));
    EXPECT_EQ(strReason, QStringLiteral("ce n'est pas un fichier ordinaire"));
    QTemporaryDir dir;
    // A link is written through: the link stays a link.
    const QString strPath = dir.filePath(QStringLiteral("film.vare"));
    const QString strLink = dir.filePath(QStringLiteral("raccourci.vare"));
    writeFile(strPath, "old");
    ASSERT_TRUE(QFile::link(strPath, strLink));
    ASSERT_TRUE(CFileSaver::save(strLink, "new", &strReason)) << qPrintable(strReason);
    EXPECT_TRUE(QFileInfo(strLink).isSymLink());
    EXPECT_EQ(readAll(strPath), "new");
}
