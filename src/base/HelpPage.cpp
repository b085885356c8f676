#include "base/HelpPage.h"

namespace {
constexpr int WIDTH = 79;
constexpr int TERM_WIDTH = 24; // entries whose term is longer start their text on the next line

// The words of a paragraph on lines no longer than the width; the first line goes on from the
// column given (the text already there), the others start at the indent.
void appendWrapped(QString& out, const QString& strText, int nIndent, int nColumn) {
    const QStringList words = strText.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool bLineStart = true;
    for (const QString& strWord : words) {
        if (!bLineStart && nColumn + 1 + strWord.size() > WIDTH) {
            out += QLatin1Char('\n') + QString(nIndent, QLatin1Char(' '));
            nColumn = nIndent;
            bLineStart = true;
        }
        if (!bLineStart) {
            out += QLatin1Char(' ');
            ++nColumn;
        }
        out += strWord;
        nColumn += int(strWord.size());
        bLineStart = false;
    }
    out += QLatin1Char('\n');
}

void appendParagraph(QString& out, const QString& strText, int nIndent) {
    out += QString(nIndent, QLatin1Char(' '));
    appendWrapped(out, strText, nIndent, nIndent);
}

QStringList paragraphsOf(const QString& strText) {
    return strText.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
}

// Text made safe for troff: backslashes, minus signs kept as hyphen-minus, straight apostrophes, and
// no control character at the start of a line.
QString troff(const QString& str) {
    QString out;
    out.reserve(str.size() + 8);
    for (const QChar c : str) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\e");
        else if (c == QLatin1Char('-'))
            out += QStringLiteral("\\-");
        else if (c == QLatin1Char('\''))
            out += QStringLiteral("\\(aq");
        else
            out += c;
    }
    if (out.startsWith(QLatin1Char('.'))) out.prepend(QStringLiteral("\\&"));
    return out;
}

QString sentence(const CHelpPage& page) {
    return page.m_strProgram + QStringLiteral(" : ") + page.m_strSummary + QLatin1Char('.');
}

// Summary, description and sections; bSub: a command's page inside the program's, with its usage
// lines, and section titles that are lines of the text rather than sections of the manual.
void appendManBody(QString& out, const CHelpPage& page, bool bSub) {
    if (bSub)
        for (const QString& str : page.m_usage)
            out += QStringLiteral(".B %1\n%2\n.br\n").arg(troff(page.m_strProgram), troff(str));
    out += QStringLiteral(".PP\n%1\n").arg(troff(sentence(page)));
    for (const QString& str : page.m_description)
        out += QStringLiteral(".PP\n%1\n").arg(troff(str.simplified()));
    for (const CHelpPage::SSection& section : page.m_sections) {
        if (bSub)
            out += QStringLiteral(".PP\n.B \"%1 :\"\n").arg(troff(section.strTitle));
        else
            out += QStringLiteral(".SH \"%1\"\n").arg(troff(section.strTitle.toUpper()));
        for (const QString& str : section.paragraphs)
            out += QStringLiteral(".PP\n%1\n").arg(troff(str.simplified()));
        for (const CHelpPage::SEntry& entry : section.entries) {
            out += QStringLiteral(".TP\n.B \"%1\"\n").arg(troff(entry.strTerm));
            const QStringList paragraphs = paragraphsOf(entry.strText);
            for (qsizetype i = 0; i < paragraphs.size(); ++i) {
                if (i > 0) out += QStringLiteral(".IP\n");
                out += troff(paragraphs[i].simplified()) + QLatin1Char('\n');
            }
        }
    }
}
} // namespace

QString CHelpPage::toText() const {
    QString out;
    for (int i = 0; i < m_usage.size(); ++i) {
        const QString strLead = i == 0 ? QStringLiteral("Utilisation : ") : QStringLiteral("         ou : ");
        out += strLead + m_strProgram + QLatin1Char(' ') + m_usage[i] + QLatin1Char('\n');
    }
    appendParagraph(out, sentence(*this), 0);
    for (const QString& str : m_description) {
        out += QLatin1Char('\n');
        appendParagraph(out, str, 0);
    }
    for (const SSection& section : m_sections) {
        out += QLatin1Char('\n') + section.strTitle + QStringLiteral(" :\n");
        for (const QString& str : section.paragraphs)
            appendParagraph(out, str, 2);
        for (const SEntry& entry : section.entries) {
            const QStringList paragraphs = paragraphsOf(entry.strText);
            const QString strTerm = QStringLiteral("  ") + entry.strTerm;
            if (strTerm.size() + 2 <= TERM_WIDTH) {
                out += strTerm.leftJustified(TERM_WIDTH, QLatin1Char(' '));
                appendWrapped(out, paragraphs.value(0), TERM_WIDTH, TERM_WIDTH);
            } else {
                out += strTerm + QLatin1Char('\n');
                appendParagraph(out, paragraphs.value(0), TERM_WIDTH);
            }
            for (qsizetype i = 1; i < paragraphs.size(); ++i)
                appendParagraph(out, paragraphs[i], TERM_WIDTH);
        }
    }
    return out;
}

QByteArray CHelpPage::toMan(const QString& strVersion, const QString& strDate) const {
    // The coding tag tells man and groff's preconv that the page is not Latin-1.
    QString out = QStringLiteral(".\\\" -*- coding: UTF-8 -*-\n");
    out += QStringLiteral(".\\\" Made from the text of \"%1 --help\".\n").arg(m_strProgram);
    out += QStringLiteral(".TH \"%1\" 1 \"%2\" \"Tavorin %3\" \"Commandes\"\n")
               .arg(troff(m_strProgram.toUpper()), troff(strDate), troff(strVersion));
    out += QStringLiteral(".nh\n.ad l\n");
    out += QStringLiteral(".SH NOM\n%1 \\- %2\n").arg(troff(m_strProgram), troff(m_strSummary));
    out += QStringLiteral(".SH SYNOPSIS\n");
    for (const QString& str : m_usage)
        out += QStringLiteral(".B %1\n%2\n.br\n").arg(troff(m_strProgram), troff(str));
    out += QStringLiteral(".SH DESCRIPTION\n");
    appendManBody(out, *this, false);
    if (!m_commands.isEmpty()) {
        out += QStringLiteral(".SH \"DÉTAIL DES COMMANDES\"\n");
        for (const CHelpPage& command : m_commands) {
            out += QStringLiteral(".SS \"%1\"\n").arg(troff(command.m_strProgram));
            appendManBody(out, command, true);
        }
    }
    return out.toUtf8();
}
