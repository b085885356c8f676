// tavorin-cli render-band FILE --at TIMECODE [...] --out PNG: one frame of the band of a script,
// drawn off-screen by the same renderer as the band view.

#include "CliCommand.h"
#include "ScriptLoader.h"
#include "base/Settings.h"
#include "rythmo/BandImage.h"
#include "rythmo/Bookmarks.h"

#include <QBuffer>

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
    if (args.size() != 1 || strAt.isEmpty() || strOut.isEmpty())
        return cli::fail(QStringLiteral(
            "Utilisation : tavorin-cli render-band FICHIER --at TIMECODE [--width L] "
            "[--height H] [--zoom Z] [--theme T] [--track P] [--grid on|off] --out IMAGE.png"));

    const CTimeCode tc(strAt);
    if (!tc.isValid()) return cli::fail(QStringLiteral("Le timecode « %1 » n'est pas valide.").arg(strAt));
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

    CVarE script;
    CBookmarkCollector bookmarks;
    if (!cli::loadScript(args[0], script, &bookmarks)) return 1;

    CBandImage band;
    CBandFonts fonts;
    fonts.strText = QString::fromUtf8(Settings::BandTextFont.def);
    fonts.strLabel = QString::fromUtf8(Settings::BandLabelFont.def);
    if (!band.create(QSize(nWidth, nHeight), fonts))
        return cli::fail(QStringLiteral("Échec lors de l'initialisation d'OpenGL."));
    CBandRenderer& renderer = band.renderer();
    int nActive = strTrack.isEmpty() ? script.getLastTrack() : nTrack - 1;
    renderer.setActiveTrack(&nActive);
    renderer.setScript(&script);
    renderer.setBookmarks(&bookmarks.m_bookmarks);
    renderer.setTheme(nTheme);
    renderer.setViewport(nWidth, nHeight, nZoom);
    renderer.state().m_bHideGridAndSigns = strGrid == QLatin1String("off");
    const QImage image = band.render(int(tc.toMediaTime()));

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG"))
        return cli::fail(QStringLiteral("Impossible de dessiner la bande."));
    QString strError;
    if (!cli::writeFileAtomically(strOut, png, &strError))
        return cli::fail(QStringLiteral("Impossible d'écrire le fichier « %1 » : %2").arg(strOut, strError));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(renderBand, "render-band",
                    "FICHIER --at TIMECODE [--width L] [--height H] [--zoom 1-6] [--theme 0|1] [--track 1-4] "
                    "[--grid on|off] --out IMAGE.png   dessine la bande rythmo à une position",
                    run, true);
