#include "CliCommand.h"

#include "base/FileSaver.h"
#include "base/HelpPage.h"
#include "base/SystemError.h"

#include <cstdio>
#include <map>

namespace {
std::map<QString, CCliCommand>& registry() {
    static std::map<QString, CCliCommand> s_map;
    return s_map;
}
} // namespace

bool CCliRegistry::add(const CCliCommand& cmd) {
    registry()[QString::fromLatin1(cmd.name)] = cmd;
    return true;
}

const CCliCommand* CCliRegistry::find(const QString& name) {
    auto it = registry().find(name);
    return it == registry().end() ? nullptr : &it->second;
}

QList<CCliCommand> CCliRegistry::all() {
    QList<CCliCommand> list;
    for (const auto& [name, cmd] : registry())
        list.append(cmd);
    return list;
}

CHelpPage CCliRegistry::commandHelp(const CCliCommand& cmd) {
    CHelpPage page;
    page.m_strProgram = QStringLiteral("tavorin-cli ") + QString::fromUtf8(cmd.name);
    page.m_strSummary = QString::fromUtf8(cmd.summary);
    page.m_usage = {QString::fromUtf8(cmd.args), QStringLiteral("--help")};
    if (cmd.description)
        page.m_description =
            QString::fromUtf8(cmd.description).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    CHelpPage::SSection options{QStringLiteral("Options"), {}, {}};
    for (const SCliOption& option : cmd.options)
        options.entries.append({QString::fromUtf8(option.term), QString::fromUtf8(option.text)});
    options.entries.append({QStringLiteral("--help"), QStringLiteral("affiche cette aide et quitte")});
    page.m_sections.append(options);
    return page;
}

CHelpPage CCliRegistry::programHelp() {
    CHelpPage page;
    page.m_strProgram = QStringLiteral("tavorin-cli");
    page.m_strSummary =
        QStringLiteral("les scripts, les exports, les médias et la bande rythmo de Tavorin en "
                       "ligne de commande");
    page.m_usage = {QStringLiteral("COMMANDE [ARGUMENTS]"), QStringLiteral("COMMANDE --help"),
                    QStringLiteral("--help | --version")};
    page.m_description = {
        QStringLiteral("Les commandes lisent les scripts VarE (.vare et leurs sauvegardes .vare.bak) et les "
                       "fichiers de détection de l'ancien format (.det) avec les mêmes bibliothèques que "
                       "Tavorin, pour convertir, exporter ou vérifier des scripts par lots."),
        QStringLiteral("Une erreur est signalée par une seule ligne en français sur la sortie d'erreur et le "
                       "code de retour 1 ; aucun fichier de sortie incomplet n'est laissé."),
    };
    CHelpPage::SSection commands{QStringLiteral("Commandes"), {}, {}};
    for (const CCliCommand& cmd : all()) {
        commands.entries.append({QString::fromUtf8(cmd.name), QString::fromUtf8(cmd.summary)});
        page.m_commands.append(commandHelp(cmd));
    }
    page.m_sections.append(commands);
    page.m_sections.append(
        {QStringLiteral("Options"),
         {},
         {{QStringLiteral("-h, --help"), QStringLiteral("affiche cette aide et quitte")},
          {QStringLiteral("-V, --version"), QStringLiteral("affiche la version et quitte")}}});
    page.m_sections.append(
        {QStringLiteral("Code de retour"),
         {},
         {{QStringLiteral("0"), QStringLiteral("la commande a réussi")},
          {QStringLiteral("1"), QStringLiteral("la commande a échoué (message sur la sortie "
                                               "d'erreur)")}}});
    page.m_sections.append({QStringLiteral("Voir aussi"), {QStringLiteral("tavorin(1)")}, {}});
    return page;
}

int cli::fail(const QString& strMessage) {
    std::fprintf(stderr, "%s\n", strMessage.toUtf8().constData());
    return 1;
}

int cli::failUsage(const char* pszCommand) {
    const CCliCommand* pCmd = CCliRegistry::find(QString::fromLatin1(pszCommand));
    return fail(QStringLiteral("Utilisation : tavorin-cli %1 %2 (aide : tavorin-cli %1 --help)")
                    .arg(QString::fromLatin1(pszCommand), pCmd ? QString::fromUtf8(pCmd->args) : QString()));
}

void cli::out(const QByteArray& data) {
    std::fwrite(data.constData(), 1, size_t(data.size()), stdout);
}

bool cli::writeFileAtomically(const QString& strPath, const QByteArray& data, QString* pError) {
    return CFileSaver::save(strPath, data, pError);
}

QString cli::takeOption(QStringList& args, const QString& strName, const QString& strDefault) {
    const int i = int(args.indexOf(strName));
    if (i < 0 || i + 1 >= args.size()) return strDefault;
    QString v = args.at(i + 1);
    args.remove(i, 2);
    return v;
}

bool cli::takeFlag(QStringList& args, const QString& strName) {
    return args.removeAll(strName) > 0;
}
