// tavorin-cli info FILE: the script as JSON on stdout.

#include "CliCommand.h"
#include "ScriptLoader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const char* genderName(int n) {
    return n == CRole::GENDER_MALE ? "male" : n == CRole::GENDER_FEMALE ? "female" : "neutral";
}

QString colorText(const CRole& r) {
    return QStringLiteral("#%1").arg(r.getColor(), 6, 16, QLatin1Char('0')).toUpper();
}

QJsonObject scriptToJson(const CVarE& v, const CBookmarkArray& bookmarks) {
    QJsonObject header;
    for (int i = 0; i < CVarE::H_COUNT; ++i) {
        const auto e = CVarE::EHeader(i);
        header.insert(QLatin1String(CVarE::headerKey(e)), v.get(e));
    }
    header.insert("timestamp", v.getTimeStamp().getText());
    header.insert("lastPosition", v.getLastPosition().getText());
    header.insert("lastTrack", v.getLastTrack());
    header.insert("trackCount", v.getTrackCount());
    header.insert("frameRate", v.getFrameRate());
    header.insert("dropFrame", v.isDropFrame());

    QJsonArray roles;
    for (const CRole& r : v.getRoles()) {
        roles.append(QJsonObject{{"name", r.getName()},
                                 {"id", r.getId()},
                                 {"color", colorText(r)},
                                 {"description", r.getDescription()},
                                 {"gender", genderName(r.getGender())},
                                 {"image", !r.getImage().isEmpty()}});
    }

    QJsonArray phrases;
    for (const CLine& l : v.getLines()) {
        QJsonArray signs;
        for (const CLipSync& s : l.getSigns())
            signs.append(QJsonObject{{"timecode", s.getTimeCode().getText()},
                                     {"type", CLipSync::typeName(s.getType())},
                                     {"link", s.getLink()}});
        phrases.append(QJsonObject{{"track", l.getTrack()},
                                   {"role", l.hasRole() ? QJsonValue(l.getRole().getId()) : QJsonValue()},
                                   {"voiceOff", l.isVoiceOff()},
                                   {"reaction", l.isReaction()},
                                   {"text", l.getText()},
                                   {"signs", signs}});
    }

    QJsonArray loops;
    for (const CLoop& l : v.getLoops())
        loops.append(QJsonObject{{"timecode", l.getTimeCode().getText()}, {"number", l.getNumber()}});
    QJsonArray shots;
    for (const CBalise& s : v.getShots())
        shots.append(s.getTimeCode().getText());
    QJsonArray marks;
    for (const auto& [tc, label] : bookmarks.m_items)
        marks.append(QJsonObject{{"timecode", tc.getText()}, {"label", label}});

    return QJsonObject{{"header", header}, {"roles", roles}, {"phrases", phrases},
                       {"loops", loops},   {"shots", shots}, {"bookmarks", marks}};
}

int run(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) return cli::failUsage("info");
    CVarE script;
    CBookmarkArray bookmarks;
    if (!cli::loadScript(args[0], script, &bookmarks)) return 1;
    cli::out(QJsonDocument(scriptToJson(script, bookmarks)).toJson(QJsonDocument::Indented));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(info, .name = "info", .args = "FICHIER", .summary = "affiche un script en JSON",
                    .description =
                        "Écrit sur la sortie standard l'en-tête, les rôles, les phrases avec leurs "
                        "signes, les boucles, les changements de plan et les positions marquées "
                        "d'un script (.vare, .vare.bak ou .det), en JSON.",
                    .run = run);
