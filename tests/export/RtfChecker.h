#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// A small RTF reader for the tests: checks that a document is well formed (one outer group, braces
// balanced, only known control words, CR LF line ends, "\uN" followed by its fallback byte) and
// gives the visible text with paragraph, line, tab and cell marks, and counts of control words.
struct CRtfCheck {
    bool bOk = false;
    QStringList errors;
    QString strText;               // body text: "\n" for \par, \line and \row, "\t" for \tab, "|" for \cell
    QString strHeader;             // text of {\header ...}
    QString strFooter;             // text of {\footer ...}, fields as "{PAGE}"
    QMap<QString, int> wordCounts; // control word (without parameter) -> occurrences
    QStringList sectionParams;     // for each \sectd: the control words up to the end of its line
};

CRtfCheck checkRtf(const QByteArray& rtf);
