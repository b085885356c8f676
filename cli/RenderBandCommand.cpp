// tavorin-cli render-band FILE --at TIMECODE [...] --out IMAGE: one frame of the band of a script,
// drawn off-screen by the same renderer as the band view.

#include "CliCommand.h"
#include "ScriptLoader.h"
#include "base/DataFolder.h"
#include "base/Settings.h"
#include "rythmo/BandFaces.h"
#include "rythmo/BandImage.h"
#include "rythmo/Bookmarks.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>

namespace {
// Keeps the script's bookmarks for drawing, numbered as the position menu numbers them.
class CBookmarkCollector : public IBookmarkSink {
public:
    void addBookmark(const CTimeCode& tc, const QString& strLabel) override {
        m_bookmarks.emplace(tc, CBookmark{45000 + int(m_bookmarks.size()), strLabel});
    }
    CBookmarks m_bookmarks;
};

bool toInt(const QString& str, int nMin, int nMax, int& n) {
    bool bOk = false;
    n = str.toInt(&bOk);
    return bOk && n >= nMin && n <= nMax;
}

// The whole text must be a timecode: "10:00" or "abc" are not read as midnight.
bool toTimeCode(const QString& str, CTimeCode& tc) {
    static const QRegularExpression s_form(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$"));
    return s_form.match(str).hasMatch() && tc.parse(str) && tc.isValid();
}

// The image format the file name asks for ("png", "jpg"...), or empty when Qt cannot write it.
QByteArray formatOf(const QString& strPath) {
    const QByteArray suffix = QFileInfo(strPath).suffix().toLower().toLatin1();
    return QImageWriter::supportedImageFormats().contains(suffix) ? suffix : QByteArray();
}

int run(const QStringList& argsIn) {
    QStringList args = argsIn;
    const QString strAt = cli::takeOption(args, QStringLiteral("--at"));
    const QString strOut = cli::takeOption(args, QStringLiteral("--out"));
    const QString strWidth = cli::takeOption(args, QStringLiteral("--width"), QStringLiteral("1600"));
    const QString strHeight = cli::takeOption(args, QStringLiteral("--height"), QStringLiteral("300"));
    const QString strZoom = cli::takeOption(args, QStringLiteral("--zoom"), QStringLiteral("2"));
    const QString strTheme = cli::takeOption(args, QStringLiteral("--theme"), QStringLiteral("1"));
    const QString strTrack = cli::takeOption(args, QStringLiteral("--track"));
    const QString strGrid = cli::takeOption(args, QStringLiteral("--grid"), QStringLiteral("on"));
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")) || strAt.isEmpty() || strOut.isEmpty())
        return cli::failUsage("render-band");

    CTimeCode tc;
    if (!toTimeCode(strAt, tc))
        return cli::fail(QStringLiteral("Le timecode « %1 » n'est pas valide.").arg(strAt));
    int nWidth = 0, nHeight = 0, nZoom = 0, nTheme = 0, nTrack = 0;
    if (!toInt(strWidth, 16, 8192, nWidth) || !toInt(strHeight, 16, 8192, nHeight))
        return cli::fail(QStringLiteral("La taille de l'image doit être comprise entre 16 et 8192 pixels."));
    if (!toInt(strZoom, CBandSpace::MIN_ZOOM, CBandSpace::MAX_ZOOM, nZoom))
        return cli::fail(QStringLiteral("Le zoom doit être compris entre 1 et 6."));
    if (!toInt(strTheme, 0, 1, nTheme))
        return cli::fail(QStringLiteral("Le thème doit valoir 0 (gris) ou 1."));
    if (!strTrack.isEmpty() && !toInt(strTrack, 1, 4, nTrack))
        return cli::fail(QStringLiteral("La piste doit être comprise entre 1 et 4."));
    if (strGrid != QLatin1String("on") && strGrid != QLatin1String("off"))
        return cli::fail(QStringLiteral("--grid attend on ou off."));
    const QByteArray format = formatOf(strOut);
    if (format.isEmpty())
        return cli::fail(
            QStringLiteral("Le format de l'image « %1 » n'est pas pris en charge : choisissez un nom "
                           "en .png, .jpg, .bmp ou .ppm.")
                .arg(strOut));

    CVarE script;
    CBookmarkCollector bookmarks;
    if (!cli::loadScript(args[0], script, &bookmarks)) return 1;

    CBandFonts fonts;
    fonts.strText = QString::fromUtf8(Settings::BandTextFont.def);
    fonts.strLabel = QString::fromUtf8(Settings::BandLabelFont.def);
    addMissingBandFaces(fonts, CDataFolder::program());
    CBandImage band;
    if (!band.create(QSize(nWidth, nHeight), fonts))
        return cli::fail(
            QStringLiteral("Impossible de dessiner la bande : OpenGL 3.3 n'est pas disponible sur "
                           "cette machine."));
    CBandRenderer& renderer = band.renderer();
    int nActive = strTrack.isEmpty() ? script.getLastTrack() : nTrack - 1;
    renderer.setActiveTrack(&nActive);
    renderer.setScript(&script);
    renderer.setBookmarks(&bookmarks.m_bookmarks);
    renderer.setTheme(nTheme);
    renderer.setViewport(nWidth, nHeight, nZoom);
    renderer.state().m_bHideGridAndSigns = strGrid == QLatin1String("off");
    const QImage image = band.render(int(tc.toMediaTime()));

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpg" || format == "jpeg") writer.setQuality(95); // text needs more than the default
    if (image.isNull() || !writer.write(image))
        return cli::fail(QStringLiteral("Impossible de dessiner la bande."));
    QString strError;
    if (!cli::writeFileAtomically(strOut, bytes, &strError))
        return cli::fail(QStringLiteral("Impossible d'écrire le fichier « %1 » : %2.").arg(strOut, strError));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(
    renderBand, .name = "render-band", .args = "FICHIER --at TIMECODE [OPTIONS] --out IMAGE",
    .summary = "dessine une image de la bande rythmo d'un script",
    .description =
        "Dessine la bande du script telle que Tavorin la montre à la position donnée, avec le même "
        "moteur OpenGL, et l'écrit dans une image dont le format suit l'extension (.png, .jpg, "
        ".bmp, .ppm).\n\n"
        "Sans serveur d'affichage (DISPLAY vide), la bande est dessinée par EGL sans système de "
        "fenêtres ; il faut OpenGL 3.3.",
    .options = {{"--at TIMECODE", "la position, hh:mm:ss:ii (obligatoire)"},
                {"--out IMAGE", "le fichier à écrire (obligatoire)"},
                {"--width L", "la largeur en pixels, de 16 à 8192 (1600 par défaut)"},
                {"--height H", "la hauteur en pixels, de 16 à 8192 (300 par défaut)"},
                {"--zoom Z", "le zoom de la bande, de 1 à 6 (2 par défaut)"},
                {"--theme T", "le thème : 0 gris ou 1 papier (par défaut)"},
                {"--track P", "la piste active, de 1 à 4 (par défaut celle du script)"},
                {"--grid on|off", "la grille et les signes (on par défaut)"}},
    .run = run, .bNeedsGui = true);
