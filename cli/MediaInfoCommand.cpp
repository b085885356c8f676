#include "CliCommand.h"
#include "sync/MediaProbe.h"
#include "sync/QuickTime.h"

#include <QFileInfo>
#include <cmath>

// tavorin-cli media-info FILE: what the player sees of a media file, as JSON.
namespace {
QByteArray jsonBool(bool b) {
    return b ? "true" : "false";
}

int run(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) return cli::failUsage("media-info");
    const QString& strPath = args.first();
    const QString strFailed = QStringLiteral("Impossible de lire le fichier média « %1 ».").arg(strPath);
    if (!QFileInfo(strPath).isFile()) return cli::fail(strFailed);

    CQuickTime qt;
    if (!qt.initialize())
        return cli::fail(QStringLiteral("Le lecteur multimédia (libmpv) n'a pas pu démarrer."));
    if (!qt.open(strPath)) return cli::fail(strFailed);
    CMediaProbe probe;
    probe.open(strPath);

    const double dRate = qt.getFrameRate();
    const double dSeconds = qt.getDuration() / double(CTimeCode::MEDIA_TIME_SCALE);
    // Pictures for a movie; timecode frames (25 per second) for a sound.
    const long long nFrames =
        dRate > 0.0 ? std::llround(dSeconds * dRate)
                    : (long long)qt.getDuration() * CTimeCode::DEFAULT_RATE / CTimeCode::MEDIA_TIME_SCALE;
    QByteArray json = "{";
    json += "\"timestamp\": \"" + QByteArray(qt.getTimeStamp().getText()) + "\", ";
    // Without a timestamp the end has no timecode either.
    const CTimeCode tcEnd = qt.getTimeStamp().isValid() ? qt.getEndTimeCode() : TC_INVALID;
    json += "\"end\": \"" + QByteArray(tcEnd.getText()) + "\", ";
    json += "\"durationFrames\": " + QByteArray::number(nFrames) + ", ";
    json += "\"frameRate\": " + QByteArray::number(dRate, 'g', 8) + ", ";
    json += "\"audioChannels\": " + QByteArray::number(qt.hasAudio() ? probe.m_nAudioChannels : 0) + ", ";
    json += "\"hasVideo\": " + jsonBool(qt.hasVideo()) + ", ";
    json += "\"hasAudio\": " + jsonBool(qt.hasAudio()) + "}\n";
    cli::out(json);
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(mediaInfo, .name = "media-info", .args = "FICHIER",
                    .summary = "décrit un fichier vidéo ou son tel que le lecteur le voit",
                    .description = "Écrit en JSON le timecode de début, le timecode de fin, la durée en "
                                   "images, la cadence, le nombre de canaux audio et la présence d'image et "
                                   "de son.",
                    .run = run);
