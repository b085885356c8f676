#include "CliCommand.h"
#include "ScriptLoader.h"

#include "export/Lignage.h"
#include "vare/VarE.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
// A JSON string literal, quotes included.
QByteArray jsonString(const QString& str) {
    const QByteArray array = QJsonDocument(QJsonArray{str}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

int run(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith("--")) return cli::failUsage("lignage");
    CVarE script;
    if (!cli::loadScript(args[0], script)) return 1;
    QByteArray out = "{\"roles\": [";
    int nTotal = 0;
    bool bFirst = true;
    for (const CRole& role : script.getRoles()) {
        const int n = getLignage(script, role);
        nTotal += n;
        out += (bFirst ? "" : ", ") + QByteArray("{\"name\": ") + jsonString(role.getName()) +
               ", \"lignage\": " + QByteArray::number(n) + "}";
        bFirst = false;
    }
    out += "], \"total\": " + QByteArray::number(nTotal) + "}\n";
    cli::out(out);
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(lignage, .name = "lignage", .args = "FICHIER",
                    .summary = "compte les lignes de chaque rôle",
                    .description = "Écrit en JSON le lignage de chaque rôle du script, compté comme dans la "
                                   "liste des rôles exportée, et leur total.",
                    .run = run);
